#pragma once

#include <atomic>
#include "codec/symbol_count_table.h"
#include "io/file_stream.h"
#include "sc_api/processor.h"
#include "scd/writer/item_queue.h"
#include "scd/writer/temporary_image_file.h"

// The actions into which the SCD writers cut the work on each line (or block of lines) of a
// cube. None of them ever waits for another action: each only computes and writes, so any
// number of them may share the library's processor without holding workers that others need.
// What they point to must outlive their executions.

// Counts the run-length symbols of the spectra of an ItemProvider. The same action is meant to
// be posted several times: every execution takes items from the provider until it is empty,
// codes each item as one spectrum and adds the symbols to the table, so the executions share
// the items between them and together count each item once.
class RunLengthEncodingExecutorThread : public lattix::lx_tuplink::Action {
  public:
    RunLengthEncodingExecutorThread(ItemProvider& provider, SymbolCountTable& counts)
        : provider_(&provider), counts_(&counts) {}

  protected:
    void execute() override;

  private:
    ItemProvider* provider_;    // shared by every execution
    SymbolCountTable* counts_;  // where the symbols are counted
};

// Appends one line to a temporary image file; a failure is dropped.
class LineAppenderThread : public lattix::lx_tuplink::Action {
  public:
    LineAppenderThread(TemporaryImageFile& imageFile, const unsigned short* line)
        : imageFile_(&imageFile), line_(line) {}

    // After execution: whether the line was stored whole.
    bool stored() const { return stored_.load(std::memory_order_acquire); }

  protected:
    void execute() override;

  private:
    TemporaryImageFile* imageFile_;    // where the line goes
    const unsigned short* line_;       // width x depth values
    std::atomic<bool> stored_{false};  // set by a successful execution
};

// Writes valueCount 16-bit values at the current position of a stream; written() tells whether
// they all went.
class ItemWriterThread : public lattix::lx_tuplink::Action {
  public:
    ItemWriterThread(OutputFileStream& stream, const unsigned short* values,
                     std::uint64_t valueCount)
        : stream_(&stream), values_(values), valueCount_(valueCount) {}

    // After execution: whether every value was written.
    bool written() const { return written_.load(std::memory_order_acquire); }

  protected:
    void execute() override;

  private:
    OutputFileStream* stream_;          // where the values go
    const unsigned short* values_;      // the values
    std::uint64_t valueCount_;          // how many
    std::atomic<bool> written_{false};  // set by a successful execution
};

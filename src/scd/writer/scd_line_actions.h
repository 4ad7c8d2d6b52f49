#pragma once

#include <atomic>
#include <vector>

#include "codec/image_run_accumulator.h"
#include "codec/symbol_count_table.h"
#include "io/file_stream.h"
#include "sc_api/processor.h"
#include "scd/writer/image_symbol_store.h"
#include "scd/writer/item_queue.h"
#include "scd/writer/spectrum_symbol_store.h"
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

  protected:
    void execute() override;

  private:
    TemporaryImageFile* imageFile_;  // where the line goes
    const unsigned short* line_;     // width x depth values
};

// Writes valueCount 16-bit values at the current position of a stream; a failure is dropped.
class ItemWriterThread : public lattix::lx_tuplink::Action {
  public:
    ItemWriterThread(OutputFileStream& stream, const unsigned short* values,
                     std::uint64_t valueCount)
        : stream_(&stream), values_(values), valueCount_(valueCount) {}

  protected:
    void execute() override;

  private:
    OutputFileStream* stream_;      // where the values go
    const unsigned short* values_;  // the values
    std::uint64_t valueCount_;      // how many
};

// The work of a block of buffered lines of the line builder, in two actions that may run at
// once: LineBlockSpectraAction counts the spectra's symbols (the builder has written the lines
// to the temporary spectrum file already, each as it came); LineBlockImagesAction appends the lines
// to the temporary image file and feeds them to the image run accumulator. A failed write is kept
// in `error` (the first one).
//
// With `kept`, LineBlockImagesAction also keeps the symbols of the channel images it counts,
// and LineBlockSpectraAction those of the spectra, for the coding at close, which then need not
// read the temporary files again. Keeping is only a shortcut: when a symbol cannot be kept,
// `intact` (or `spectraIntact`) turns false for good and close codes from the temporary image
// (or spectrum) file as before.
struct KeptSymbols {
    ImageSymbolStore* images = nullptr;
    std::atomic<bool> intact{false};
    // A block's symbols on their way to the store, and where each channel's end; kept from
    // block to block so that their memory is not allocated again for each.
    PackedSymbols symbols;
    std::vector<std::size_t> ends;

    SpectrumSymbolStore* spectra = nullptr;
    std::atomic<bool> spectraIntact{false};
    // A block's spectrum symbols on their way to their store.
    SpectrumSymbols spectrumSymbols;
};

struct LineBlock {
    const unsigned short* lines = nullptr;  // `count` lines of width x depth values
    unsigned count = 0;
    unsigned width = 0;
    unsigned depth = 0;
    std::atomic<int>* error = nullptr;  // SC_OK until a write fails
    KeptSymbols* kept = nullptr;        // where symbols are kept, if anywhere
};

class LineBlockSpectraAction : public lattix::lx_tuplink::Action {
  public:
    LineBlockSpectraAction(const LineBlock& block, SymbolCountTable& counts)
        : block_(block), counts_(&counts) {}

  protected:
    void execute() override;

  private:
    LineBlock block_;
    SymbolCountTable* counts_;  // gets the symbols of every spectrum
};

class LineBlockImagesAction : public lattix::lx_tuplink::Action {
  public:
    LineBlockImagesAction(const LineBlock& block, TemporaryImageFile& imageFile,
                          ImageRunAccumulator& accumulator)
        : block_(block), imageFile_(&imageFile), accumulator_(&accumulator) {}

  protected:
    void execute() override;

  private:
    LineBlock block_;
    TemporaryImageFile* imageFile_;     // gets the lines in image order
    ImageRunAccumulator* accumulator_;  // counts the channel images
};

#pragma once

#include <cstddef>
#include <cstdint>

#include "sc_api/processor.h"
#include "scd/reader/coded_stream_reader.h"

// Decodes one coded stream of a data file into a caller-owned destination of valueCount values,
// on a processor's worker, with that worker's CodedStreamReader (positioned reads, no lock).
// The destination gets the values when the bits decode into whole symbols whose runs add up to
// exactly valueCount values; otherwise it is left all zeros. A stream that does not fit in the
// file (its offset or its length reaching past the file's length at opening) is skipped the
// same way before any memory is taken for its bits, and so is one whose reads fail or come up
// short. The outcome is kept for the batch that posted the action (outcome()).
class DecodingRunnable : public lattix::lx_tuplink::Action {
  public:
    DecodingRunnable(const CodedStreamFile& file, const StreamPlace& place,
                     unsigned short* destination, std::size_t valueCount) noexcept
        : file_(file), place_(place), destination_(destination), valueCount_(valueCount) {}

    // How the decoding ended; meaningful once the action is done.
    StreamOutcome outcome() const { return outcome_; }

  protected:
    ~DecodingRunnable() override;
    void execute() override;

  private:
    CodedStreamFile file_;                             // where the stream lies, how to decode it
    StreamPlace place_;                                // the stream in the file
    unsigned short* destination_;                      // caller-owned, valueCount_ values
    std::size_t valueCount_;                           // values the stream must expand to
    StreamOutcome outcome_ = StreamOutcome::kOutside;  // set by execute()
};

#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "codec/huffman_decoding_table.h"
#include "io/file_stream.h"
#include "sc_api/processor.h"
#include "tuplink/critical_section.h"

// A data file of an open SCD cube as its decoding actions see it. Everything it points to
// belongs to the cube and must outlive the actions; none of it changes while reads run.
struct CodedStreamFile {
    InputFileStream* stream = nullptr;            // the spectrum or the image file
    std::uint64_t length = 0;                     // the file's length when the cube opened
    tuplink::CriticalSection* lock = nullptr;     // guards positioning and reading; may be null
    const HuffmanDecodingTable* table = nullptr;  // the cube's code
};

// Decodes one coded stream of a data file into a caller-owned destination of valueCount values.
//
// Under the file's lock it seeks to the stream's offset and reads its bit count L and its
// ceil(L / 8) bytes; it then decodes and expands the runs outside the lock, into memory of its
// own. The stream is damaged when it does not fit in the file (its offset or its length
// reaching past the file's length at opening; found before any memory is taken for its bits),
// when its seek or reads fail or come up short, when the table was refused, or when its bits do
// not decode into whole symbols whose runs add up to exactly valueCount values. A damaged
// stream leaves its destination all zeros and is reported by decoded(); a stream that decodes
// fills its destination exactly. Nothing is ever written outside the destination.
class DecodingRunnable : public lattix::lx_tuplink::Action {
  public:
    DecodingRunnable(const CodedStreamFile& file, std::uint64_t offset, unsigned short* destination,
                     std::size_t valueCount) noexcept
        : file_(file), offset_(offset), destination_(destination), valueCount_(valueCount) {}

    // After execute(): whether the stream decoded (false for a damaged stream).
    bool decoded() const { return decoded_.load(std::memory_order_acquire); }

  protected:
    ~DecodingRunnable() override;
    void execute() override;

  private:
    // Reads the stream's bits into bits; false when the stream cannot be read whole.
    bool readBits(BitVector& bits) const;

    CodedStreamFile file_;              // where the stream lies and how to decode it
    std::uint64_t offset_;              // position of the stream's L field in the file
    unsigned short* destination_;       // caller-owned, valueCount_ values
    std::size_t valueCount_;            // values the stream must expand to
    std::atomic<bool> decoded_{false};  // set by execute() when the stream decoded
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/huffman_decoding_table.h"
#include "codec/scd_symbol.h"
#include "io/file_stream.h"

// A data file of an open SCD cube as its readers see it. Everything it points to belongs to the
// cube and must outlive the reads; none of it changes while reads run. Streams are read with
// positioned reads, so any number of threads may read one file at once without a lock.
struct CodedStreamFile {
    const SystemInputFileStream* stream = nullptr;  // the spectrum or the image file
    std::uint64_t length = 0;                       // the file's length when the cube opened
    const HuffmanDecodingTable* table = nullptr;    // the cube's code
    std::uint64_t typicalStreamBytes = 0;  // read at once when a stream's extent is unknown
};

// Where a stream lies: the offset of its L field and the bytes expected from there to its end
// (L field included), 0 when not known. A wrong expectation costs time, never a wrong result.
struct StreamPlace {
    std::uint64_t offset = 0;
    std::uint64_t expectedBytes = 0;
};

// How reading one coded stream ended.
enum class StreamOutcome {
    kDecoded,     // the stream was read and decoded whole
    kOutside,     // its offset or its length reaches past the file's length at opening
    kReadFailed,  // a read failed or came up short
    kDamaged,     // its bits do not decode into exactly the values expected
};

// Reads coded streams (a uint32 bit count L, then ceil(L / 8) bytes) into memory of its own,
// which it keeps from stream to stream: after the first few streams it allocates nothing. A
// stream no longer than expected costs one positioned read; a longer one two.
// One reader per thread.
class CodedStreamReader {
  public:
    // Loads the stream at `place`. Anything but kDecoded leaves no stream
    // loaded. A stream reaching past file.length is refused before any memory is taken for it.
    StreamOutcome load(const CodedStreamFile& file, const StreamPlace& place);

    // The loaded stream's bits, followed by HuffmanDecodingTable::kBytePadding readable bytes.
    const unsigned char* bits() const { return buffer_.data() + kLengthFieldBytes; }
    std::uint32_t bitCount() const { return bitCount_; }

    // Loads and decodes the stream into destination[0 .. count), which is written only when
    // the result is kDecoded (the results of decodeStream over the same bits).
    StreamOutcome decodeInto(const CodedStreamFile& file, const StreamPlace& place,
                             unsigned short* destination, std::size_t count);

    // Loads the stream and adds its count values to sums (see addStreamValues); on anything but
    // kDecoded the sums may hold part of the stream.
    StreamOutcome addInto(const CodedStreamFile& file, const StreamPlace& place,
                          std::uint64_t* sums, std::size_t count);

    // The reader of the calling thread, kept for the life of the thread.
    static CodedStreamReader& ofThisThread();

  private:
    static constexpr std::uint64_t kLengthFieldBytes = 4;
    // Memory kept between streams at most; a larger buffer is given back after its stream.
    static constexpr std::size_t kKeptBytes = 4u << 20;

    bool ensureCapacity(std::uint64_t byteCount);

    std::vector<unsigned char> buffer_;  // L field, the stream's bytes, padding
    std::uint32_t bitCount_ = 0;         // L of the loaded stream
    std::vector<SCSymbol> scratch_;      // runs of a stream being decoded into a destination
};

#pragma once

#include <cstdint>
#include <initializer_list>
#include <istream>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scd/bit_vector.h"
#include "scd/scd_symbol.h"

namespace test_support {

// Bits from text such as "0110", the first character being bit 0; spaces are skipped.
BitVector bitsFromText(std::string_view text);
// The bits as text, bit 0 first.
std::string bitsToText(const BitVector& bits);

// A code table from literal codes: codeTable({{{1, 0}, "0"}, {{1, 1}, "10"}}).
SCCodeTable codeTable(std::initializer_list<std::pair<SCSymbol, std::string_view>> codes);

// Every symbol of the value sequences counted, as the writers count a cube.
SCSymbolCounts countSymbols(const std::vector<std::vector<unsigned short>>& sequences);

// count values made of runs of random length (1 to 600, so that runs of 255, 256 and more
// occur) of values drawn from a small alphabet, with now and then an arbitrary value.
std::vector<unsigned short> randomRuns(std::mt19937& random, std::size_t count);

// A random bit string of the given length.
BitVector randomBits(std::mt19937& random, std::uint32_t bitCount);

// Little-endian bytes assembled field by field, as an independent writer of the SCD files
// lays them out.
class ByteWriter {
  public:
    ByteWriter& u8(std::uint8_t value) { return put(value, 1); }
    ByteWriter& u16(std::uint16_t value) { return put(value, 2); }
    ByteWriter& u32(std::uint32_t value) { return put(value, 4); }
    ByteWriter& u64(std::uint64_t value) { return put(value, 8); }
    ByteWriter& f32(float value);
    ByteWriter& bytes(const std::vector<unsigned char>& bytes);
    // The bytes of a code or stream: ceil(bitCount / 8) bytes, bit 0 first.
    ByteWriter& bits(const BitVector& bits);

    const std::string& str() const { return bytes_; }

  private:
    ByteWriter& put(std::uint64_t value, unsigned size);

    std::string bytes_;  // everything written so far
};

// An input stream over bytes that cannot seek or tell its position, like a pipe.
class ForwardOnlyInput : public std::istream {
  public:
    explicit ForwardOnlyInput(std::string bytes);

  private:
    class Buffer : public std::streambuf {
      public:
        explicit Buffer(std::string bytes);

      private:
        std::string bytes_;  // everything the stream delivers
    };

    Buffer buffer_;
};

// An output stream that accepts capacity bytes and fails every write after them.
class LimitedOutput : public std::ostream {
  public:
    explicit LimitedOutput(std::size_t capacity);
    const std::string& written() const { return buffer_.written; }

  private:
    struct Buffer : public std::streambuf {
        std::size_t capacity;
        std::string written;
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* bytes, std::streamsize count) override;
    };

    Buffer buffer_;
};

}  // namespace test_support

#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codec/bit_vector.h"
#include "codec/huffman_coding.h"
#include "codec/scd_symbol.h"
#include "scd/format/scd_header.h"

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
    ByteWriter& f32(float value) { return u32(std::bit_cast<std::uint32_t>(value)); }
    // The bytes of a code or stream: ceil(bitCount / 8) bytes, bit 0 first.
    ByteWriter& bits(const BitVector& bits);

    const std::string& str() const { return bytes_; }

  private:
    ByteWriter& put(std::uint64_t value, unsigned size);

    std::string bytes_;  // everything written so far
};

// Decodes bits into count values lying between guard values, by the tree walk and by the
// decoding table. Both must give the same result, write nothing outside the count values, and
// nothing at all when they fail (checked with gtest). The decoded values, or nullopt on failure.
std::optional<std::vector<unsigned short>> decodeGuarded(const BitVector& bits,
                                                         const HuffmanTree& tree,
                                                         std::size_t count);

// Reads a header file into header; the result of SCDHeader::read.
int readHeaderBytes(const std::string& bytes, SCDHeader& header);

// The bytes that header.write() gives, which must succeed.
std::string headerBytes(const SCDHeader& header);

}  // namespace test_support

#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "codec/bit_vector.h"
#include "codec/scd_symbol.h"

// A code table prepared for encoding many streams: each symbol's code is held as 64-bit words
// and found by hashing. Made once per code table, then only read, by any number of threads.
class HuffmanCodeBook {
  public:
    // Where a code's bits are: bitCount bits in the words from firstWord on, bit 0 first.
    struct Code {
        std::uint32_t bitCount;
        std::size_t firstWord;
    };

    explicit HuffmanCodeBook(const SCCodeTable& codes);

    // The code of symbol, or null when the table has none.
    const Code* find(const SCSymbol& symbol) const;

    // Appends the bits of code to writer.
    void put(const Code& code, BitWriter& writer) const;
    // The bits of code: ceil(bitCount / 64) words, bit 0 first, unused high bits 0.
    const std::uint64_t* words(const Code& code) const { return words_.data() + code.firstWord; }

  private:
    static std::uint32_t key(const SCSymbol& symbol) {
        return (static_cast<std::uint32_t>(symbol.first) << 16) | symbol.second;
    }

    std::unordered_map<std::uint32_t, Code> codes_;  // by (run length << 16 | value)
    std::vector<std::uint64_t> words_;               // the bits of every code, word-aligned
};

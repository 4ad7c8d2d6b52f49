#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "codec/coded_stream_buffer.h"
#include "codec/huffman_code_book.h"
#include "codec/run_length.h"
#include "codec/scd_symbol.h"

// A code table laid out for coding many streams fast: the code of a symbol (run length, value)
// is found by two array lookups (the value's row, then the run length within it) instead of a
// search, and streams are written straight into a caller's byte buffer as the data files hold
// them (bit count L, then the bits). Made once per code table, then only read, by any number of
// threads.
//
// encodeStream() writes exactly the bytes that encodeValues() over the same table gives for the
// stream, preceded by its L field: L = 0 and no data bytes when encodeValues() fails (a symbol
// without a code, or more than 2^32 - 1 bits).
class HuffmanEncodingTable {
  public:
    explicit HuffmanEncodingTable(const SCCodeTable& codes);
    HuffmanEncodingTable(const HuffmanEncodingTable&) = delete;
    HuffmanEncodingTable& operator=(const HuffmanEncodingTable&) = delete;

    // Appends the coded stream of values[0 .. count) to out: 4 bytes of L (little-endian), then
    // ceil(L / 8) bytes. Returns what encodeValues() would have returned. May throw
    // std::bad_alloc, leaving out as it was.
    EncodeResult encodeStream(const unsigned short* values, std::size_t count,
                              CodedStreamBuffer& out) const;

    // The same for a stream given as its run-length symbols (what forEachRun makes of its
    // values): the same bytes as encodeStream of those values.
    EncodeResult encodeSymbols(const PackedSymbol* symbols, std::size_t count,
                               CodedStreamBuffer& out) const;

  private:
    // encodeSymbols when every symbol has a code of at most 56 bits and the stream fits: true
    // then; otherwise false, leaving out as it was.
    bool encodeSymbolsFast(const PackedSymbol* symbols, std::size_t count,
                           CodedStreamBuffer& out) const;
    // Codes the symbols that nextSymbol(run, value) gives until it returns false.
    template <class NextSymbol>
    EncodeResult encodeWith(CodedStreamBuffer& out, NextSymbol&& nextSymbol) const;

    // An entry: the code's bits in bits 0..55, its length in bits 56..62, bit 63 set when the
    // symbol has a code. A length of kLongCode means a code longer than 56 bits, held only in
    // the code book.
    using Entry = std::uint64_t;
    static constexpr unsigned kLengthShift = 56;
    static constexpr Entry kPresent = Entry{1} << 63;
    static constexpr unsigned kLongCode = 127;
    static constexpr std::uint32_t kNoRow = 0xFFFFFFFFu;
    // Most rows made; further values are coded through the code book, more slowly.
    static constexpr std::size_t kMostRows = 4096;

    // The entry of a symbol, 0 when it has no code.
    Entry find(unsigned char run, unsigned short value) const;

    std::unique_ptr<std::uint32_t[]> rowOf_;  // per value: its row in rows_, or kNoRow
    std::vector<Entry> rows_;                 // 256 entries per row, indexed by run length
    HuffmanCodeBook book_;                    // every code, for long codes and values without row
};

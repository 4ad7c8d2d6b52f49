#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codec/bit_vector.h"
#include "codec/huffman_code_book.h"
#include "codec/huffman_decoding_table.h"
#include "codec/huffman_tree.h"
#include "codec/scd_symbol.h"

// Run-length coding of value sequences (a spectrum, a channel image) into symbols, of symbols
// into the bits of a coded stream, and back.

// How many of values[0 .. limit) equal `value` before the first that does not: four values
// are compared at a time.
inline std::size_t equalPrefix(const unsigned short* values, std::size_t limit,
                               unsigned short value) {
    static_assert(std::endian::native == std::endian::little, "values are compared as LE words");
    const std::uint64_t pattern = std::uint64_t{value} * 0x0001000100010001u;
    std::size_t n = 0;
    for (; n + 4 <= limit; n += 4) {
        std::uint64_t word;
        std::memcpy(&word, values + n, sizeof word);
        if (word != pattern) {
            // The lowest differing bit lies in the first differing value (values are stored
            // little-endian, the first one lowest).
            return n + static_cast<std::size_t>(std::countr_zero(word ^ pattern) / 16);
        }
    }
    while (n < limit && values[n] == value) {
        ++n;
    }
    return n;
}

#if defined(__SSE2__)
// Bit k of the result, for k = 0 ... 63: whether values[k] differs from values[k - 1].
// REQUIRES: values[-1] ... values[63] readable.
inline std::uint64_t valueChanges(const unsigned short* values) {
    std::uint64_t changes = 0;
    for (int group = 0; group < 8; ++group) {
        const __m128i current =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + 8 * group));
        const __m128i previous =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + 8 * group - 1));
        const __m128i equal = _mm_cmpeq_epi16(current, previous);
        // One byte per value, then one bit per value.
        const auto same = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(equal, equal)));
        changes |= std::uint64_t{~same & 0xFFu} << (8 * group);
    }
    return changes;
}
#endif

// Calls change(i), in increasing order, for each i in 1 ... count - 1 where values[i] differs
// from values[i - 1]: the starts of the stretches of equal values after the first. Where the
// values change is found 64 values at a time.
template <class Change>
void forEachChange(const unsigned short* values, std::size_t count, Change&& change) {
    std::size_t i = 1;
#if defined(__SSE2__)
    for (; i + 64 <= count; i += 64) {
        for (std::uint64_t changes = valueChanges(values + i); changes != 0;
             changes &= changes - 1) {
            change(i + static_cast<std::size_t>(std::countr_zero(changes)));
        }
    }
#endif
    for (; i < count; ++i) {
        if (values[i] != values[i - 1]) {
            change(i);
        }
    }
}

// Calls emit(symbol) for the runs of a stretch of `length` values equal to `value` that ends
// where a different value follows: length / 255 runs of 255, then one of length mod 255 when
// that is not 0.
template <class Emit>
void forEachStretchRun(std::uint64_t length, unsigned short value, Emit&& emit) {
    constexpr std::uint64_t kLongestRun = 255;
    for (; length > kLongestRun; length -= kLongestRun) {
        emit(SCSymbol(static_cast<unsigned char>(kLongestRun), value));
    }
    if (length != 0) {
        emit(SCSymbol(static_cast<unsigned char>(length), value));
    }
}

// Calls emit(symbol) for each run-length symbol of values[0 .. count), in order: a stretch of k
// equal values becomes k / 255 runs of 255 followed by one run of k mod 255 when that is not 0.
// No symbol for count 0; a run length is never 0.
template <class Emit>
void forEachRun(const unsigned short* values, std::size_t count, Emit&& emit) {
    if (count == 0) {
        return;
    }
    std::size_t start = 0;  // of the stretch going on
    forEachChange(values, count, [&](std::size_t change) {
        forEachStretchRun(change - start, values[start], emit);
        start = change;
    });
    forEachStretchRun(count - start, values[start], emit);
}

// Appends the run-length symbols of values[0 .. count) to symbols.
void runLengthEncode(const unsigned short* values, std::size_t count,
                     std::vector<SCSymbol>& symbols);

// Makes stream the codes of the run-length symbols of values[0 .. count), concatenated without
// padding, the first code at bit 0. Returns false, and leaves stream empty, when a symbol has no
// code in the table or the stream would exceed 2^32 - 1 bits. All overloads give the same bits.
bool encodeValues(const unsigned short* values, std::size_t count, const SCCodeTable& codes,
                  BitVector& stream);
bool encodeValues(const unsigned short* values, std::size_t count, const HuffmanCodeBook& codes,
                  BitVector& stream);

// What the overload below made of a value sequence.
enum class EncodeResult { kEncoded, kMissingCode, kTooLong };

// encodeValues for coding many streams: `sequence` holds the symbols' codes between the two
// passes and keeps its memory from call to call, and the stream keeps its storage when its byte
// count does not change. Anything but kEncoded leaves stream empty.
EncodeResult encodeValues(const unsigned short* values, std::size_t count,
                          const HuffmanCodeBook& codes,
                          std::vector<const HuffmanCodeBook::Code*>& sequence, BitVector& stream);

// Writes the value of each symbol run-length times into destination, from its first element on,
// when the runs add up to exactly count values. Otherwise returns false and leaves destination
// untouched.
bool expandRuns(const std::vector<SCSymbol>& symbols, unsigned short* destination,
                std::size_t count);

// Decodes a coded stream and expands its runs into destination[0 .. count): true when the bits
// decode into whole symbols whose runs add up to exactly count values. On false the destination
// is untouched; nothing is ever written past destination[count - 1].
//
// This overload walks the tree with HuffmanVectorDecoder and keeps every decoded symbol; it is
// the reference for the one below.
bool decodeStream(const BitVector& bits, HuffmanNode<SCSymbol>* root, unsigned short* destination,
                  std::size_t count);

// The same results through a decoding table. It keeps at most count symbols in scratch (which
// it clears and may reuse from call to call) and stops as soon as the runs exceed count.
bool decodeStream(const BitVector& bits, const HuffmanDecodingTable& table,
                  unsigned short* destination, std::size_t count, std::vector<SCSymbol>& scratch);
bool decodeStream(const BitVector& bits, const HuffmanDecodingTable& table,
                  unsigned short* destination, std::size_t count);

// The decodings below work on a stream's bits held in memory from `bytes` on, with
// HuffmanDecodingTable::kBytePadding readable bytes after them, as a reader that loads streams
// into a buffer of its own holds them.

// Calls onRun(run length, value) for each run of the stream, in order, while the runs add up to
// at most count values. True when the bits decode into whole symbols whose runs add up to
// exactly count values: then, and only then, decodeStream over the same bits succeeds and
// writes what the runs give.
template <class OnRun>
bool forEachDecodedRun(const unsigned char* bytes, std::uint32_t bitCount,
                       const HuffmanDecodingTable& table, std::size_t count, OnRun&& onRun) {
    std::uint64_t total = 0;
    if (table.shape() == HuffmanDecodingTable::Shape::kSingleLeaf && bitCount != 0) {
        // A single-leaf tree decodes n zero bits into n copies of its symbol.
        const SCSymbol& symbol = table.singleSymbol();
        for (std::uint32_t i = 0; i < bitCount; ++i) {
            if (((bytes[i >> 3] >> (i & 7)) & 1) != 0) {
                return false;
            }
        }
        if (std::uint64_t{bitCount} * symbol.first != count) {
            return false;
        }
        for (std::uint32_t i = 0; i < bitCount; ++i) {
            onRun(symbol.first, symbol.second);
        }
        return true;
    }
    const bool decoded = table.decodeBytes(bytes, bitCount, [&](const SCSymbol& symbol) {
        total += symbol.first;
        if (total > count) {
            return false;
        }
        onRun(symbol.first, symbol.second);
        return true;
    });
    return decoded && total == count;
}

// decodeStream of the bits held from `bytes` on: the same results and the same destination.
// `scratch` holds the runs until they are known to be whole; it is cleared and reused.
bool decodeStreamBytes(const unsigned char* bytes, std::uint32_t bitCount,
                       const HuffmanDecodingTable& table, unsigned short* destination,
                       std::size_t count, std::vector<SCSymbol>& scratch);

// Adds the stream's values to sums[0 .. count) when it decodes as decodeStream would accept;
// zero runs cost nothing. On false, some of the sums may already hold some of the values.
bool addStreamValues(const unsigned char* bytes, std::uint32_t bitCount,
                     const HuffmanDecodingTable& table, std::uint64_t* sums, std::size_t count);

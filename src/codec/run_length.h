#pragma once

#include <cstddef>
#include <vector>

#include "codec/bit_vector.h"
#include "codec/huffman_code_book.h"
#include "codec/huffman_decoding_table.h"
#include "codec/huffman_tree.h"
#include "codec/scd_symbol.h"

// Run-length coding of value sequences (a spectrum, a channel image) into symbols, of symbols
// into the bits of a coded stream, and back.

// Calls emit(symbol) for each run-length symbol of values[0 .. count), in order: a stretch of k
// equal values becomes k / 255 runs of 255 followed by one run of k mod 255 when that is not 0.
// No symbol for count 0; a run length is never 0.
template <class Emit>
void forEachRun(const unsigned short* values, std::size_t count, Emit&& emit) {
    if (count == 0) {
        return;
    }
    SCSymbol run(1, values[0]);
    for (std::size_t i = 1; i < count; ++i) {
        if (run.first == 255 || values[i] != run.second) {
            emit(run);
            run = SCSymbol(1, values[i]);
        } else {
            ++run.first;
        }
    }
    emit(run);
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

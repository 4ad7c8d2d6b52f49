#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "codec/bit_vector.h"
#include "codec/uninitialized_allocator.h"

// A run-length symbol of a coded stream: first = run length (1 ... 255), second = the 16-bit
// value that the run repeats. Symbols are ordered by run length, then by value.
using SCSymbol = std::pair<unsigned char, unsigned short>;

// Number of occurrences of each symbol of a cube; the input of the Huffman tree.
using SCSymbolCounts = std::map<SCSymbol, std::uint32_t>;

// The code of each symbol of a cube, in symbol order: bit 0 of a code is the branch taken at the
// root of the Huffman tree (0 = left, 1 = right).
using SCCodeTable = std::map<SCSymbol, BitVector>;

// A symbol in 32 bits, as the writers keep symbols between counting and coding: the run length
// in bits 0..7, the value in bits 8..23.
using PackedSymbol = std::uint32_t;

// Symbols kept in order; room made with resize() is left uninitialised, to be written at once.
using PackedSymbols = std::vector<PackedSymbol, UninitializedAllocator<PackedSymbol>>;

inline PackedSymbol packSymbol(const SCSymbol& symbol) {
    return PackedSymbol{symbol.first} | PackedSymbol{symbol.second} << 8;
}
inline SCSymbol unpackSymbol(PackedSymbol packed) {
    return SCSymbol(static_cast<unsigned char>(packed), static_cast<unsigned short>(packed >> 8));
}

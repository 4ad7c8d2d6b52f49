#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "codec/bit_vector.h"

// A run-length symbol of a coded stream: first = run length (1 ... 255), second = the 16-bit
// value that the run repeats. Symbols are ordered by run length, then by value.
using SCSymbol = std::pair<unsigned char, unsigned short>;

// Number of occurrences of each symbol of a cube; the input of the Huffman tree.
using SCSymbolCounts = std::map<SCSymbol, std::uint32_t>;

// The code of each symbol of a cube, in symbol order: bit 0 of a code is the branch taken at the
// root of the Huffman tree (0 = left, 1 = right).
using SCCodeTable = std::map<SCSymbol, BitVector>;

#pragma once

#include <cstddef>

#include "codec/huffman_tree.h"
#include "codec/scd_symbol.h"

// The Huffman tree of a cube's symbols; a null pointer is an empty tree.
using HuffmanTree = HuffmanTreePtr<SCSymbol>;

// The Huffman tree of a count table, with fixed tie-breaks so that equal counts always give the
// same tree: leaves are made in ascending symbol order, each merge takes the two first nodes by
// (weight, creation order) as left and right, and a merged node is made after every node that
// exists at that time. An empty table gives an empty tree, a table of one symbol a single leaf.
// Builds share no state: any number may run at the same time.
HuffmanTree buildHuffmanTree(const SCSymbolCounts& counts);

// Sets the code of every leaf of the tree in codes (replacing existing entries): the branches
// from the root, bit 0 first, 0 for left. A single-leaf tree gets the one-bit code 0. An empty
// tree leaves codes unchanged.
void computeHuffmanCodes(const HuffmanTree& tree, SCCodeTable& codes);

// The decoding tree of a stored code table. A table of one entry gives a single leaf whatever its
// code. An empty table gives an empty tree, and so does a refused one: a table of two or more
// entries is refused when a code is empty, when two codes end at the same place, when a code is
// a prefix of another or runs through another code's leaf, or when the tree would need more than
// maxInnerNodes(entries) inner nodes (a complete code needs entries - 1).
HuffmanTree buildHuffmanTreeFromCodes(const SCCodeTable& codes);

// Inner nodes allowed in a tree rebuilt from a table of the given number of entries. The bound
// keeps a damaged table from building a tree far larger than the table itself.
constexpr std::size_t maxInnerNodes(std::size_t entries) {
    return 2 * entries;
}

#include "codec/huffman_coding.h"

#include <gtest/gtest.h>

#include <random>

#include "codec/huffman_decoding_table.h"
#include "support/codec_bits.h"

using namespace test_support;

namespace {

const SCSymbol kA{1, 0}, kB{1, 1}, kC{1, 2};

SCCodeTable codesOf(const HuffmanTree& tree) {
    SCCodeTable codes;
    computeHuffmanCodes(tree, codes);
    return codes;
}

// Whether the table rebuilds into a tree; a refused table gives an empty one.
bool accepted(const SCCodeTable& codes) {
    return static_cast<bool>(buildHuffmanTreeFromCodes(codes));
}

// Whether the bits decode, and the symbols decoded (up to a fault).
std::pair<bool, std::vector<SCSymbol>> decode(const HuffmanTree& tree, const BitVector& bits) {
    std::vector<SCSymbol> symbols;
    bool ok = HuffmanVectorDecoder<SCSymbol>(bits, symbols, tree.get()).decode();
    return {ok, symbols};
}

}  // namespace

TEST(BuildHuffmanTreeTest, TieBreaksFixEveryCode) {
    HuffmanTree single = buildHuffmanTree({{{1, 5}, 10}});
    EXPECT_EQ(codesOf(single), codeTable({{{1, 5}, "0"}}));
    EXPECT_EQ(decode(single, bitsFromText("000")).second, std::vector<SCSymbol>(3, {1, 5}));
    // (1,0) and (1,1) merge into a node of weight 2 made after the leaf (1,2): (1,2) goes left.
    EXPECT_EQ(codesOf(buildHuffmanTree({{kA, 1}, {kB, 1}, {kC, 2}})),
              codeTable({{kA, "10"}, {kB, "11"}, {kC, "0"}}));
    EXPECT_FALSE(buildHuffmanTree({}));
}

TEST(BuildHuffmanTreeFromCodesTest, RefusesTablesThatAreNotPrefixFree) {
    EXPECT_FALSE(accepted({}));
    EXPECT_FALSE(accepted(codeTable({{kA, "0"}, {kB, "0"}})));
    EXPECT_FALSE(accepted(codeTable({{kA, "0"}, {kB, ""}})));
    EXPECT_FALSE(accepted(codeTable({{kA, "0"}, {kB, "01"}}))) << "running through a leaf";
    EXPECT_FALSE(accepted(codeTable({{kA, "01"}, {kB, "0"}}))) << "ending above another code";
    EXPECT_TRUE(accepted(codeTable({{kA, "01"}, {kB, "1"}}))) << "an incomplete code";
    // Two entries may use 2 x 2 inner nodes: the root and three more on the path of a code.
    EXPECT_TRUE(accepted(codeTable({{kA, "0"}, {kB, "1110"}})));
    EXPECT_FALSE(accepted(codeTable({{kA, "0"}, {kB, "11110"}})));
    for (std::string_view code : {"0", "", "111"}) {
        HuffmanTree leaf = buildHuffmanTreeFromCodes(codeTable({{kB, code}}));
        EXPECT_EQ(decode(leaf, bitsFromText("000")).second, std::vector<SCSymbol>(3, kB));
    }
}

TEST(HuffmanVectorDecoderTest, DecodesWholeCodesAndStopsAtTheFirstFault) {
    HuffmanTree full = buildHuffmanTreeFromCodes(codeTable({{kA, "10"}, {kB, "11"}, {kC, "0"}}));
    HuffmanTree gap = buildHuffmanTreeFromCodes(codeTable({{kA, "0"}, {kB, "10"}}));
    HuffmanTree leaf = buildHuffmanTreeFromCodes(codeTable({{kA, "0"}}));
    HuffmanTree none;
    struct Case {
        const HuffmanTree& tree;
        std::string_view bits;
        bool ok;
        std::vector<SCSymbol> symbols;
    };
    for (const Case& c : {Case{full, "0 10 11 0 11", true, {kC, kA, kB, kC, kB}},
                          Case{full, "0 1", false, {kC}},  // the string ends inside a code
                          Case{gap, "0 11", false, {kA}},  // a missing child
                          Case{leaf, "1", false, {kA}},    // a leaf's symbol precedes its bit check
                          Case{leaf, "001", false, {kA, kA}}, Case{none, "", true, {}},
                          Case{none, "0", false, {}}}) {
        EXPECT_EQ(decode(c.tree, bitsFromText(c.bits)), std::pair(c.ok, c.symbols)) << c.bits;
    }
}

TEST(HuffmanTreeTest, DestroysAVeryDeepTreeWithoutRecursion) {
    auto root = std::make_unique<HuffmanInnerNode<SCSymbol>>();
    HuffmanInnerNode<SCSymbol>* bottom = root.get();
    for (int depth = 0; depth < 300000; ++depth) {
        bool turn = depth % 2 != 0;  // turning at every level leaves no tail call to recurse in
        bottom->setChild(!turn, std::make_unique<HuffmanLeaf<SCSymbol>>(kA, 1));
        bottom->setChild(turn, std::make_unique<HuffmanInnerNode<SCSymbol>>());
        bottom = static_cast<HuffmanInnerNode<SCSymbol>*>(bottom->child(turn));
    }
    root.reset();
}

TEST(HuffmanDecodingTableTest, CodesOfRandomCountsRebuildTheirTreeAndDecodeAsByTheTreeWalk) {
    std::mt19937 random(13);
    for (int round = 0; round < 300; ++round) {
        SCSymbolCounts counts;  // 0 and 1 symbols give an empty and a single-leaf tree
        for (unsigned symbols = random() % (round % 10 == 0 ? 400 : 41); symbols != 0; --symbols) {
            counts[{static_cast<unsigned char>(1 + random() % 255),
                    static_cast<unsigned short>(random())}] = 1 + random() % 1000;
        }
        SCCodeTable codes = codesOf(buildHuffmanTree(counts));
        ASSERT_EQ(codesOf(buildHuffmanTreeFromCodes(codes)), codes);
        while (round % 3 == 0 && codes.size() > 2 && random() % 4 != 0) {
            codes.erase(codes.begin());  // leaves missing children
        }
        HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
        HuffmanDecodingTable table(tree.get());
        for (int stream = 0; stream < 10; ++stream) {
            std::uint32_t bitCount = random() % 301;
            BitVector bits = stream % 3 == 0 ? BitVector(bitCount)  // what a single leaf decodes
                                             : randomBits(random, bitCount);
            std::vector<SCSymbol> flat;
            bool ok = table.decode(bits, flat);
            ASSERT_EQ(std::pair(ok, flat), decode(tree, bits));
        }
    }
}

#include "scd/huffman_coding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <queue>
#include <random>

#include "scd/huffman_decoding_table.h"
#include "support/codec_bits.h"

using test_support::bitsFromText;
using test_support::bitsToText;
using test_support::codeTable;

namespace {

// The code table of the Huffman tree of counts, as text.
std::map<SCSymbol, std::string> codesOf(const SCSymbolCounts& counts) {
    SCCodeTable codes;
    computeHuffmanCodes(buildHuffmanTree(counts), codes);
    std::map<SCSymbol, std::string> text;
    for (const auto& [symbol, code] : codes) {
        text[symbol] = bitsToText(code);
    }
    return text;
}

// The cost of an optimal prefix code for the counts: the sum of all merged weights.
std::uint64_t optimalCost(const SCSymbolCounts& counts) {
    std::priority_queue<std::uint64_t, std::vector<std::uint64_t>, std::greater<>> weights;
    for (const auto& entry : counts) {
        weights.push(entry.second);
    }
    std::uint64_t cost = 0;
    while (weights.size() > 1) {
        std::uint64_t a = weights.top();
        weights.pop();
        std::uint64_t b = weights.top();
        weights.pop();
        cost += a + b;
        weights.push(a + b);
    }
    return cost;
}

SCSymbolCounts randomCounts(std::mt19937& random, int symbols) {
    std::uniform_int_distribution<int> value(0, 65535);
    std::uniform_int_distribution<int> runLength(1, 255);
    std::uniform_int_distribution<std::uint32_t> count(1, 1000);
    SCSymbolCounts counts;
    while (static_cast<int>(counts.size()) < symbols) {
        counts[{static_cast<unsigned char>(runLength(random)),
                static_cast<unsigned short>(value(random))}] = count(random);
    }
    return counts;
}

struct Decoded {
    bool ok;
    std::vector<SCSymbol> symbols;
};

Decoded decodeWith(const HuffmanTree& tree, const BitVector& bits) {
    Decoded result;
    HuffmanVectorDecoder<SCSymbol> decoder(bits, result.symbols, tree.get());
    result.ok = decoder.decode();
    return result;
}

Decoded decode(const SCCodeTable& codes, std::string_view bits) {
    return decodeWith(buildHuffmanTreeFromCodes(codes), bitsFromText(bits));
}

const SCSymbol kA{1, 0};
const SCSymbol kB{1, 1};
const SCSymbol kC{1, 2};

}  // namespace

TEST(BuildHuffmanTreeTest, OneSymbolGivesASingleLeafWithTheCodeZero) {
    HuffmanTree tree = buildHuffmanTree({{{1, 5}, 10}});
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->weight(), 10u);
    EXPECT_EQ(codesOf({{{1, 5}, 10}}), (std::map<SCSymbol, std::string>{{{1, 5}, "0"}}));
}

TEST(BuildHuffmanTreeTest, NoSymbolGivesAnEmptyTreeAndLeavesTheCodesAlone) {
    HuffmanTree tree = buildHuffmanTree({});
    EXPECT_FALSE(tree);
    SCCodeTable codes = codeTable({{kA, "1"}});
    computeHuffmanCodes(tree, codes);
    EXPECT_EQ(codes, codeTable({{kA, "1"}}));
}

TEST(BuildHuffmanTreeTest, EqualWeightsMergeTheEarlierMadeNodeFirstAsLeft) {
    // (1,0) and (1,1) merge into a node of weight 2, which comes after the leaf (1,2) of the
    // same weight: (1,2) becomes the left child of the root.
    auto codes = codesOf({{kA, 1}, {kB, 1}, {kC, 2}});
    EXPECT_EQ(codes, (std::map<SCSymbol, std::string>{{kA, "10"}, {kB, "11"}, {kC, "0"}}));
}

TEST(BuildHuffmanTreeTest, AMergedNodeWaitsBehindEveryNodeOfEqualWeight) {
    SCSymbol d{1, 3};
    // (1,0)+(1,1) must come after (1,2) and (1,3), which therefore merge with each other.
    auto codes = codesOf({{kA, 1}, {kB, 1}, {kC, 2}, {d, 2}});
    EXPECT_EQ(codes,
              (std::map<SCSymbol, std::string>{{kA, "00"}, {kB, "01"}, {kC, "10"}, {d, "11"}}));
}

TEST(BuildHuffmanTreeTest, EqualCountsGiveCodesThatDependOnlyOnTheSymbolOrder) {
    SCSymbolCounts first;
    SCSymbolCounts second;
    std::vector<SCSymbol> others = {{2, 9}, {3, 1}, {7, 7}, {9, 0}, {200, 5}, {255, 65535}};
    for (std::size_t i = 0; i < others.size(); ++i) {
        first[{1, static_cast<unsigned short>(i)}] = 3;
        second[others[i]] = 3;
    }
    auto firstCodes = codesOf(first);
    auto secondCodes = codesOf(second);
    auto a = firstCodes.begin();
    for (auto b = secondCodes.begin(); b != secondCodes.end(); ++a, ++b) {
        EXPECT_EQ(a->second, b->second);
    }
}

TEST(BuildHuffmanTreeTest, CodesAreOptimalCompleteAndPrefixFree) {
    std::mt19937 random(3);
    for (int symbols : {2, 3, 17, 300}) {
        SCSymbolCounts counts = randomCounts(random, symbols);
        SCCodeTable codes;
        computeHuffmanCodes(buildHuffmanTree(counts), codes);
        ASSERT_EQ(codes.size(), counts.size());
        std::uint64_t cost = 0;
        double kraft = 0;
        for (const auto& [symbol, code] : codes) {
            cost += std::uint64_t{counts[symbol]} * code.bitCount();
            kraft += std::ldexp(1.0, -static_cast<int>(code.bitCount()));
        }
        EXPECT_EQ(cost, optimalCost(counts));
        EXPECT_DOUBLE_EQ(kraft, 1.0);
        EXPECT_TRUE(buildHuffmanTreeFromCodes(codes)) << "a Huffman code is prefix-free";
    }
}

TEST(BuildHuffmanTreeFromCodesTest, RebuildsTheTreeOfAComputedTable) {
    std::mt19937 random(9);
    SCCodeTable codes;
    computeHuffmanCodes(buildHuffmanTree(randomCounts(random, 100)), codes);
    SCCodeTable again;
    computeHuffmanCodes(buildHuffmanTreeFromCodes(codes), again);
    EXPECT_EQ(again, codes);
}

TEST(BuildHuffmanTreeFromCodesTest, OneEntryGivesASingleLeafWhateverItsCode) {
    for (std::string_view code : {"0", "", "111"}) {
        Decoded decoded = decode(codeTable({{kB, code}}), "000");
        EXPECT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.symbols, std::vector<SCSymbol>(3, kB));
    }
}

TEST(BuildHuffmanTreeFromCodesTest, RefusesTablesThatAreNotPrefixFree) {
    EXPECT_FALSE(buildHuffmanTreeFromCodes({}));
    EXPECT_FALSE(buildHuffmanTreeFromCodes(codeTable({{kA, "0"}, {kB, "0"}})));
    EXPECT_FALSE(buildHuffmanTreeFromCodes(codeTable({{kA, "0"}, {kB, ""}})));
    EXPECT_FALSE(buildHuffmanTreeFromCodes(codeTable({{kA, "0"}, {kB, "01"}})))
        << "a code running through another code's leaf";
    EXPECT_FALSE(buildHuffmanTreeFromCodes(codeTable({{kA, "01"}, {kB, "0"}})))
        << "a code ending above another code";
    EXPECT_TRUE(buildHuffmanTreeFromCodes(codeTable({{kA, "01"}, {kB, "1"}})))
        << "an incomplete code is accepted";
}

TEST(BuildHuffmanTreeFromCodesTest, RefusesATreeFarLargerThanItsTable) {
    // Two entries may use 2 x 2 inner nodes: the root and three more on the path of a code.
    EXPECT_TRUE(buildHuffmanTreeFromCodes(codeTable({{kA, "0"}, {kB, "1110"}})));
    EXPECT_FALSE(buildHuffmanTreeFromCodes(codeTable({{kA, "0"}, {kB, "11110"}})));
}

TEST(HuffmanVectorDecoderTest, DecodesConcatenatedCodes) {
    SCCodeTable codes = codeTable({{kA, "10"}, {kB, "11"}, {kC, "0"}});
    Decoded decoded = decode(codes, "0 10 11 0 11");
    EXPECT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.symbols, (std::vector<SCSymbol>{kC, kA, kB, kC, kB}));
}

TEST(HuffmanVectorDecoderTest, EmptyBitsDecodeToNothingEvenWithoutATree) {
    Decoded decoded = decodeWith(HuffmanTree(), BitVector());
    EXPECT_TRUE(decoded.ok);
    EXPECT_TRUE(decoded.symbols.empty());
    EXPECT_FALSE(decodeWith(HuffmanTree(), bitsFromText("0")).ok);
}

TEST(HuffmanVectorDecoderTest, FailsOnAMissingChildKeepingTheSymbolsBefore) {
    Decoded decoded = decode(codeTable({{kA, "0"}, {kB, "10"}}), "0 11");
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(decoded.symbols, std::vector<SCSymbol>{kA});
}

TEST(HuffmanVectorDecoderTest, FailsWhenTheBitsEndInsideACode) {
    Decoded decoded = decode(codeTable({{kA, "10"}, {kB, "11"}, {kC, "0"}}), "0 1");
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(decoded.symbols, std::vector<SCSymbol>{kC});
}

TEST(HuffmanVectorDecoderTest, SingleLeafRefusesAnyOneBit) {
    SCCodeTable single = codeTable({{kA, "0"}});
    Decoded first = decode(single, "1");
    EXPECT_FALSE(first.ok);
    EXPECT_EQ(first.symbols.size(), 1u) << "the first symbol is appended before its bit is read";
    Decoded later = decode(single, "001");
    EXPECT_FALSE(later.ok);
    EXPECT_EQ(later.symbols.size(), 2u);
}

TEST(HuffmanTreeTest, DestroysAVeryDeepTreeWithoutRecursion) {
    // The path turns at every level, so that no recursion could end in a tail call.
    auto root = std::make_unique<HuffmanInnerNode<SCSymbol>>();
    HuffmanInnerNode<SCSymbol>* bottom = root.get();
    for (int depth = 0; depth < 300000; ++depth) {
        bool turn = depth % 2 != 0;
        bottom->setChild(!turn, std::make_unique<HuffmanLeaf<SCSymbol>>(kA, 1));
        bottom->setChild(turn, std::make_unique<HuffmanInnerNode<SCSymbol>>());
        bottom = static_cast<HuffmanInnerNode<SCSymbol>*>(bottom->child(turn));
    }
    root.reset();
}

TEST(HuffmanDecodingTableTest, AgreesWithTheTreeWalk) {
    std::mt19937 random(13);
    std::uniform_int_distribution<int> symbols(0, 40);  // 0 and 1 give empty and leaf trees
    std::uniform_int_distribution<std::uint32_t> bitCount(0, 300);
    for (int round = 0; round < 300; ++round) {
        SCCodeTable codes;
        computeHuffmanCodes(buildHuffmanTree(randomCounts(random, symbols(random))), codes);
        // Dropping entries leaves missing children.
        while (round % 3 == 0 && codes.size() > 2 && random() % 4 != 0) {
            codes.erase(codes.begin());
        }
        HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
        HuffmanDecodingTable table(tree.get());
        for (int stream = 0; stream < 10; ++stream) {
            // Strings of zeros are what a single-leaf tree decodes.
            BitVector bits = stream % 3 == 0 ? BitVector(bitCount(random))
                                             : test_support::randomBits(random, bitCount(random));
            Decoded walked = decodeWith(tree, bits);
            std::vector<SCSymbol> flat;
            ASSERT_EQ(table.decode(bits, flat), walked.ok);
            ASSERT_EQ(flat, walked.symbols);
        }
    }
}

#include "codec/run_length.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <random>

#include "codec/huffman_coding.h"
#include "support/codec_bits.h"

using namespace test_support;

namespace {

using Values = std::vector<unsigned short>;

std::vector<SCSymbol> symbolsOf(const Values& values) {
    std::vector<SCSymbol> symbols;
    runLengthEncode(values.data(), values.size(), symbols);
    return symbols;
}

const Values kSix = {0, 0, 0, 5, 5, 0};
// A code for kSix that leaves "111" unused.
const SCCodeTable kSixCodes = codeTable({{{3, 0}, "10"}, {{2, 5}, "0"}, {{1, 0}, "110"}});

// The runs of `values` found one value at a time.
std::vector<SCSymbol> runsValueByValue(const Values& values) {
    std::vector<SCSymbol> runs;
    for (const unsigned short value : values) {
        if (!runs.empty() && runs.back().second == value && runs.back().first < 255) {
            ++runs.back().first;
        } else {
            runs.emplace_back(1, value);
        }
    }
    return runs;
}

}  // namespace

TEST(RunLengthEncodeTest, CutsValuesIntoRunsOfAtMost255) {
    EXPECT_EQ(symbolsOf(kSix), (std::vector<SCSymbol>{{3, 0}, {2, 5}, {1, 0}}));
    EXPECT_EQ(symbolsOf(Values(600, 0)), (std::vector<SCSymbol>{{255, 0}, {255, 0}, {90, 0}}));
    EXPECT_EQ(symbolsOf(Values(256, 0)), (std::vector<SCSymbol>{{255, 0}, {1, 0}}));
    // An image of 3 x 2 pixels is one sequence: the run of 4 goes on into the second line.
    EXPECT_EQ(symbolsOf({4, 4, 4, /**/ 4, 4, 9}), (std::vector<SCSymbol>{{5, 4}, {1, 9}}));
}

TEST(RunLengthEncodeTest, FindsTheRunsOfValuesSearchedManyAtATime) {
    std::mt19937 random(29);
    // Noise, changes at every place of a 64-value window and on its edges, stretches around 255
    // and its multiples, and lengths that end anywhere in a window.
    const std::function<unsigned short(std::size_t, std::size_t)> patterns[] = {
        [&](std::size_t, std::size_t) { return static_cast<unsigned short>(random() % 3); },
        [&](std::size_t, std::size_t) { return static_cast<unsigned short>(random()); },
        [](std::size_t i, std::size_t) { return static_cast<unsigned short>(i < 255 ? 7 : 8); },
        [](std::size_t i, std::size_t) { return static_cast<unsigned short>(i % 64 == 63); },
        [](std::size_t i, std::size_t) {
            return static_cast<unsigned short>(i / 255 % 2 == 0 ? 65535 : 0);
        },
        [](std::size_t i, std::size_t length) {
            return static_cast<unsigned short>(i == length / 2);
        },
    };
    for (const std::size_t length : {0, 1, 63, 64, 65, 127, 128, 129, 255, 256, 300, 511, 1000}) {
        for (std::size_t pattern = 0; pattern < std::size(patterns); ++pattern) {
            Values values(length);
            for (std::size_t i = 0; i < length; ++i) {
                values[i] = patterns[pattern](i, length);
            }
            EXPECT_EQ(symbolsOf(values), runsValueByValue(values))
                << "length " << length << ", pattern " << pattern;
        }
    }
}

TEST(EncodeValuesTest, ConcatenatesTheCodesOfTheRunsOrFailsWithAnEmptyStream) {
    BitVector stream = bitsFromText("1");
    ASSERT_TRUE(encodeValues(kSix.data(), kSix.size(), kSixCodes, stream));
    EXPECT_EQ(stream, bitsFromText("10 0 110"));
    SCCodeTable missing = codeTable({{{3, 0}, "1"}, {{1, 0}, "0"}});
    EXPECT_FALSE(encodeValues(kSix.data(), kSix.size(), missing, stream));
    EXPECT_TRUE(stream.empty());
    stream = bitsFromText("101");
    EXPECT_FALSE(encodeValues(kSix.data(), kSix.size(), HuffmanCodeBook(missing), stream));
    EXPECT_TRUE(stream.empty());
}

TEST(EncodeValuesTest, CodeBookGivesTheBitsOfTheTable) {
    std::mt19937 random(19);
    SCCodeTable codes;  // codes of up to 141 bits cross the book's 64-bit words
    Values values;      // 0 3 6 1 4 7 2 5 0 3 ...: every symbol is a run of 1
    for (unsigned i = 0; i < 800; ++i) {
        values.push_back(static_cast<unsigned short>(i * 3 % 8));
        codes[{1, values.back()}] = randomBits(random, 1 + 20 * values.back());
    }
    BitVector fromTable;
    BitVector fromBook;
    ASSERT_TRUE(encodeValues(values.data(), values.size(), codes, fromTable));
    ASSERT_TRUE(encodeValues(values.data(), values.size(), HuffmanCodeBook(codes), fromBook));
    EXPECT_EQ(fromBook, fromTable);
}

TEST(DecodeStreamTest, RoundTripsRandomSequencesWithLongRuns) {
    std::mt19937 random(23);
    std::vector<Values> cube = {Values(255, 3), Values(256, 4)};
    for (std::size_t length : {0, 1, 255, 256, 511, 3000, 20000}) {
        cube.push_back(randomRuns(random, length));
    }
    SCCodeTable codes;
    computeHuffmanCodes(buildHuffmanTree(countSymbols(cube)), codes);
    HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
    for (const Values& values : cube) {
        BitVector stream;
        ASSERT_TRUE(encodeValues(values.data(), values.size(), HuffmanCodeBook(codes), stream));
        ASSERT_EQ(decodeGuarded(stream, tree, values.size()), values);
    }
}

TEST(DecodeStreamTest, WritesOnlyWhenWholeCodesGiveRunsThatFillTheDestinationExactly) {
    HuffmanTree none;
    HuffmanTree six = buildHuffmanTreeFromCodes(kSixCodes);
    HuffmanTree leaf = buildHuffmanTreeFromCodes(codeTable({{{3, 9}, "0"}}));
    // Writers never store runs of length 0; a damaged table may hold one.
    HuffmanTree zeroRun = buildHuffmanTreeFromCodes(codeTable({{{0, 4}, "0"}, {{2, 6}, "1"}}));
    struct Case {
        const HuffmanTree& tree;
        std::string_view bits;
        std::size_t count;
        std::optional<Values> expected;  // nullopt: refused
    };
    for (const Case& c :
         {Case{six, "10 0 110", 6, kSix}, Case{six, "10 0 110", 5, {}},
          Case{six, "10 0 110", 7, {}}, Case{six, "10 0 1", 6, {}}, Case{six, "10 0 111", 6, {}},
          Case{six, "", 0, Values{}}, Case{none, "0 10", 6, {}},
          Case{leaf, "0000", 12, Values(12, 9)}, Case{leaf, "000", 12, {}},
          Case{leaf, "0010", 12, {}}, Case{zeroRun, "0 1 0 0 1 0", 4, Values(4, 6)},
          Case{zeroRun, "000", 0, Values{}}}) {
        EXPECT_EQ(decodeGuarded(bitsFromText(c.bits), c.tree, c.count), c.expected)
            << c.bits << " into " << c.count;
    }
}

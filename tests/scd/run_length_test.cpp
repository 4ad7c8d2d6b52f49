#include "scd/run_length.h"

#include <gtest/gtest.h>

#include <random>

#include "scd/huffman_coding.h"
#include "support/codec_bits.h"

using test_support::bitsFromText;
using test_support::bitsToText;
using test_support::codeTable;

namespace {

using Values = std::vector<unsigned short>;

std::vector<SCSymbol> symbolsOf(const Values& values) {
    std::vector<SCSymbol> symbols;
    runLengthEncode(values.data(), values.size(), symbols);
    return symbols;
}

// A destination with guard values on both sides, to see what a decoding wrote.
class GuardedBuffer {
  public:
    explicit GuardedBuffer(std::size_t count, unsigned short fill = 0xBEEF)
        : values_(count + 2 * kGuard, fill) {}

    unsigned short* data() { return values_.data() + kGuard; }
    std::size_t size() const { return values_.size() - 2 * kGuard; }
    Values contents() const { return Values(values_.begin() + kGuard, values_.end() - kGuard); }
    bool guardsIntact() const {
        for (std::size_t i = 0; i < kGuard; ++i) {
            if (values_[i] != 0xBEEF || values_[values_.size() - 1 - i] != 0xBEEF) {
                return false;
            }
        }
        return true;
    }

  private:
    static constexpr std::size_t kGuard = 8;
    Values values_;  // guard, destination, guard
};

// A cube's code table: the Huffman codes of everything the sequences hold.
SCCodeTable codesFor(const std::vector<Values>& sequences) {
    SCCodeTable codes;
    computeHuffmanCodes(buildHuffmanTree(test_support::countSymbols(sequences)), codes);
    return codes;
}

// Decodes with the tree walk and with the table; both must give the same result and contents.
bool decodeBothWays(const BitVector& bits, const HuffmanTree& tree, GuardedBuffer& destination) {
    GuardedBuffer reference = destination;
    bool walked = decodeStream(bits, tree.get(), reference.data(), reference.size());
    bool decoded = decodeStream(bits, HuffmanDecodingTable(tree.get()), destination.data(),
                                destination.size());
    EXPECT_EQ(decoded, walked);
    EXPECT_EQ(destination.contents(), reference.contents());
    EXPECT_TRUE(destination.guardsIntact());
    return decoded;
}

const SCSymbol kThreeZeros{3, 0};
const SCSymbol kTwoFives{2, 5};
const SCSymbol kOneZero{1, 0};

}  // namespace

TEST(RunLengthEncodeTest, CutsValuesIntoRuns) {
    EXPECT_EQ(symbolsOf({0, 0, 0, 5, 5, 0}),
              (std::vector<SCSymbol>{kThreeZeros, kTwoFives, kOneZero}));
    EXPECT_EQ(symbolsOf({7, 7, 7, 7}), (std::vector<SCSymbol>{{4, 7}}));
    EXPECT_TRUE(symbolsOf({}).empty());
}

TEST(RunLengthEncodeTest, CapsRunsAt255) {
    EXPECT_EQ(symbolsOf(Values(600, 0)), (std::vector<SCSymbol>{{255, 0}, {255, 0}, {90, 0}}));
    EXPECT_EQ(symbolsOf(Values(256, 0)), (std::vector<SCSymbol>{{255, 0}, {1, 0}}));
    EXPECT_EQ(symbolsOf(Values(255, 9)), (std::vector<SCSymbol>{{255, 9}}));
}

TEST(RunLengthEncodeTest, RunsOfRandomSequencesAreMaximalAndExpandBack) {
    std::mt19937 random(17);
    for (int round = 0; round < 20; ++round) {
        Values values = test_support::randomRuns(random, 5000);
        std::vector<SCSymbol> symbols = symbolsOf(values);
        for (std::size_t i = 1; i < symbols.size(); ++i) {
            ASSERT_TRUE(symbols[i].second != symbols[i - 1].second || symbols[i - 1].first == 255);
        }
        Values expanded(values.size());
        ASSERT_TRUE(expandRuns(symbols, expanded.data(), expanded.size()));
        ASSERT_EQ(expanded, values);
    }
}

TEST(EncodeValuesTest, ConcatenatesTheCodesOfTheRuns) {
    SCCodeTable codes = codeTable({{kThreeZeros, "10"}, {kTwoFives, "0"}, {kOneZero, "11"}});
    Values values = {0, 0, 0, 5, 5, 0};
    BitVector stream;
    ASSERT_TRUE(encodeValues(values.data(), values.size(), codes, stream));
    EXPECT_EQ(bitsToText(stream), "10011");
}

TEST(EncodeValuesTest, AnEmptySequenceGivesAnEmptyStream) {
    BitVector stream = bitsFromText("1");
    ASSERT_TRUE(encodeValues(nullptr, 0, codeTable({{kOneZero, "0"}}), stream));
    EXPECT_EQ(stream.bitCount(), 0u);
}

TEST(EncodeValuesTest, AMissingSymbolFailsAndEmptiesTheStream) {
    SCCodeTable codes = codeTable({{kThreeZeros, "1"}, {kOneZero, "0"}});
    Values values = {0, 0, 0, 5, 5, 0};
    BitVector stream = bitsFromText("101");
    EXPECT_FALSE(encodeValues(values.data(), values.size(), codes, stream));
    EXPECT_EQ(stream.bitCount(), 0u);
    stream = bitsFromText("101");
    EXPECT_FALSE(encodeValues(values.data(), values.size(), HuffmanCodeBook(codes), stream));
    EXPECT_EQ(stream.bitCount(), 0u);
}

TEST(EncodeValuesTest, CodeBookGivesTheBitsOfTheTable) {
    std::mt19937 random(19);
    // Codes of up to 150 bits cross the book's 64-bit words.
    SCCodeTable codes;
    for (unsigned short value = 0; value < 8; ++value) {
        codes[{1, value}] = test_support::randomBits(random, 1 + 20 * value);
    }
    HuffmanCodeBook book(codes);
    for (int round = 0; round < 20; ++round) {
        Values values(100);
        for (auto& value : values) {
            value = static_cast<unsigned short>(random() % 8);
        }
        values.erase(std::unique(values.begin(), values.end()), values.end());
        BitVector fromTable;
        BitVector fromBook;
        ASSERT_TRUE(encodeValues(values.data(), values.size(), codes, fromTable));
        ASSERT_TRUE(encodeValues(values.data(), values.size(), book, fromBook));
        ASSERT_EQ(fromBook, fromTable);
    }
}

TEST(DecodeStreamTest, RoundTripsRandomSequencesWithLongRuns) {
    std::mt19937 random(23);
    std::vector<Values> cube;
    for (std::size_t length : {0, 1, 255, 256, 511, 3000, 20000}) {
        cube.push_back(test_support::randomRuns(random, length));
    }
    cube.push_back(Values(256, 4));
    SCCodeTable codes = codesFor(cube);
    HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
    HuffmanCodeBook book(codes);
    for (const Values& values : cube) {
        BitVector stream;
        ASSERT_TRUE(encodeValues(values.data(), values.size(), book, stream));
        GuardedBuffer destination(values.size());
        ASSERT_TRUE(decodeBothWays(stream, tree, destination));
        ASSERT_EQ(destination.contents(), values);
    }
}

TEST(DecodeStreamTest, RunsThatDoNotFillTheDestinationExactlyWriteNothing) {
    Values values = {0, 0, 0, 5, 5, 0};
    SCCodeTable codes = codesFor({values});
    HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
    BitVector stream;
    ASSERT_TRUE(encodeValues(values.data(), values.size(), codes, stream));
    for (std::size_t size : {0, 1, 5, 7, 100}) {
        GuardedBuffer destination(size);
        EXPECT_FALSE(decodeBothWays(stream, tree, destination)) << size;
        EXPECT_EQ(destination.contents(), Values(size, 0xBEEF));
    }
}

TEST(DecodeStreamTest, DamagedStreamsWriteNothing) {
    SCCodeTable codes = codeTable({{kThreeZeros, "10"}, {kTwoFives, "0"}});
    HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
    for (std::string_view bits : {"0 1", "0 11", "1"}) {
        GuardedBuffer destination(5);
        EXPECT_FALSE(decodeBothWays(bitsFromText(bits), tree, destination)) << bits;
        EXPECT_EQ(destination.contents(), Values(5, 0xBEEF));
    }
    GuardedBuffer destination(5);
    EXPECT_FALSE(decodeBothWays(bitsFromText("0 10"), HuffmanTree(), destination))
        << "an empty tree decodes nothing";
}

TEST(DecodeStreamTest, AnEmptyStreamFillsOnlyAnEmptyDestination) {
    HuffmanTree tree = buildHuffmanTreeFromCodes(codeTable({{kOneZero, "0"}}));
    GuardedBuffer none(0);
    EXPECT_TRUE(decodeBothWays(BitVector(), tree, none));
    GuardedBuffer some(3);
    EXPECT_FALSE(decodeBothWays(BitVector(), tree, some));
}

TEST(DecodeStreamTest, SingleLeafTreeRepeatsItsSymbolOncePerZeroBit) {
    HuffmanTree tree = buildHuffmanTreeFromCodes(codeTable({{{3, 9}, "0"}}));
    GuardedBuffer destination(12);
    EXPECT_TRUE(decodeBothWays(bitsFromText("0000"), tree, destination));
    EXPECT_EQ(destination.contents(), Values(12, 9));

    for (std::string_view bits : {"000", "00000", "0010", "1000"}) {
        GuardedBuffer untouched(12);
        EXPECT_FALSE(decodeBothWays(bitsFromText(bits), tree, untouched)) << bits;
    }
}

TEST(DecodeStreamTest, RunsOfLengthZeroExpandToNothing) {
    // Writers never store such a symbol; a damaged table may hold one.
    HuffmanTree tree = buildHuffmanTreeFromCodes(codeTable({{{0, 4}, "0"}, {{2, 6}, "1"}}));
    GuardedBuffer destination(4);
    EXPECT_TRUE(decodeBothWays(bitsFromText("0 1 0 0 1 0"), tree, destination));
    EXPECT_EQ(destination.contents(), Values(4, 6));
    HuffmanTree single = buildHuffmanTreeFromCodes(codeTable({{{0, 4}, "0"}}));
    GuardedBuffer empty(0);
    EXPECT_TRUE(decodeBothWays(bitsFromText("000"), single, empty));
}

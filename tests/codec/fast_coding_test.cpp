// The table-driven coding paths against the faithful ones they replace on hot paths: the flat
// encoding table against encodeValues, the byte decoders against the tree decoder, on random
// sequences of many shapes (lengths not multiples of the 4-value run scan, single values, runs
// of 255 and more, dense noise) and on damaged streams.
#include <gtest/gtest.h>

#include <random>

#include "codec/huffman_coding.h"
#include "codec/huffman_encoding_table.h"
#include "codec/run_length.h"
#include "codec/symbol_count_table.h"
#include "support/codec_bits.h"

using namespace test_support;

namespace {

using Values = std::vector<unsigned short>;

enum class Shape { kNoise, kSparse, kLongRuns, kFewValues };

Values randomValues(std::mt19937& random, Shape shape, std::size_t count) {
    Values values;
    while (values.size() < count) {
        std::size_t run = 1;
        unsigned short value = 0;
        switch (shape) {
            case Shape::kNoise:
                value = static_cast<unsigned short>(random());
                break;
            case Shape::kSparse:
                value = random() % 8 == 0 ? static_cast<unsigned short>(1 + random() % 4) : 0;
                run = value == 0 ? 1 + random() % 40 : 1;
                break;
            case Shape::kLongRuns:
                value = static_cast<unsigned short>(random() % 3);
                run = 200 + random() % 700;
                break;
            case Shape::kFewValues:
                value = static_cast<unsigned short>(random() % 5);
                run = 1 + random() % 9;
                break;
        }
        values.insert(values.end(), std::min(run, count - values.size()), value);
    }
    return values;
}

// Sequences of every shape and of lengths around the run scan's width and the 255 limit.
std::vector<Values> sequences(std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<Values> all;
    for (Shape shape : {Shape::kNoise, Shape::kSparse, Shape::kLongRuns, Shape::kFewValues}) {
        for (std::size_t count : {0, 1, 2, 3, 4, 5, 7, 13, 254, 255, 256, 257, 1021, 4099}) {
            all.push_back(randomValues(random, shape, count));
        }
    }
    all.push_back(Values(255, 9));
    all.push_back(Values(510, 0));
    all.push_back(Values(1000, 0));
    return all;
}

SCCodeTable codesFor(const std::vector<Values>& all) {
    SCSymbolCounts counts;
    for (const Values& values : all) {
        forEachRun(values.data(), values.size(), [&](const SCSymbol& s) { ++counts[s]; });
    }
    SCCodeTable codes;
    computeHuffmanCodes(buildHuffmanTree(counts), codes);
    return codes;
}

// The L field and bytes that a data file holds for a stream.
std::vector<unsigned char> fileBytes(const BitVector& bits) {
    std::vector<unsigned char> bytes;
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<unsigned char>(bits.bitCount() >> (8 * i)));
    }
    bytes.insert(bytes.end(), bits.data(), bits.data() + bits.byteCount());
    return bytes;
}

std::vector<unsigned char> streamAt(const CodedStreamBuffer& buffer, std::size_t begin,
                                    std::size_t end) {
    return std::vector<unsigned char>(buffer.data() + begin, buffer.data() + end);
}

// The bits of a stream followed by the padding the byte decoders read past them.
std::vector<unsigned char> padded(const BitVector& bits) {
    std::vector<unsigned char> bytes(bits.data(), bits.data() + bits.byteCount());
    bytes.resize(bytes.size() + HuffmanDecodingTable::kBytePadding, 0xA5);
    return bytes;
}

// Decodes bits with the tree and with the byte decoders; expects the same outcome and output.
void expectSameDecoding(const BitVector& bits, const HuffmanTree& tree,
                        const HuffmanDecodingTable& table, std::size_t count) {
    Values reference(count, 7);
    const bool referenceOk = decodeStream(bits, tree.get(), reference.data(), count);
    const std::vector<unsigned char> bytes = padded(bits);
    Values fast(count, 7);
    std::vector<SCSymbol> scratch;
    EXPECT_EQ(decodeStreamBytes(bytes.data(), bits.bitCount(), table, fast.data(), count, scratch),
              referenceOk);
    EXPECT_EQ(fast, reference);
    std::vector<std::uint64_t> sums(count, 1);
    EXPECT_EQ(addStreamValues(bytes.data(), bits.bitCount(), table, sums.data(), count),
              referenceOk);
    if (referenceOk) {
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(sums[i], reference[i] + 1u) << "value " << i;
        }
    }
}

}  // namespace

TEST(HuffmanEncodingTableTest, WritesTheBytesOfEncodeValuesForEveryShape) {
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        const std::vector<Values> all = sequences(seed);
        const SCCodeTable codes = codesFor(all);
        const HuffmanEncodingTable table(codes);
        CodedStreamBuffer buffer;  // every stream appended to the one before
        for (const Values& values : all) {
            BitVector expected;
            ASSERT_TRUE(encodeValues(values.data(), values.size(), codes, expected));
            const std::size_t begin = buffer.size();
            ASSERT_EQ(table.encodeStream(values.data(), values.size(), buffer),
                      EncodeResult::kEncoded);
            ASSERT_EQ(streamAt(buffer, begin, buffer.size()), fileBytes(expected))
                << "seed " << seed << ", " << values.size() << " values";
            // The same stream coded from its symbols.
            std::vector<PackedSymbol> symbols;
            forEachRun(values.data(), values.size(),
                       [&](const SCSymbol& symbol) { symbols.push_back(packSymbol(symbol)); });
            const std::size_t symbolsBegin = buffer.size();
            ASSERT_EQ(table.encodeSymbols(symbols.data(), symbols.size(), buffer),
                      EncodeResult::kEncoded);
            ASSERT_EQ(streamAt(buffer, symbolsBegin, buffer.size()), fileBytes(expected));
        }
    }
}

TEST(HuffmanEncodingTableTest, LongCodesAndMissingSymbolsAsEncodeValues) {
    std::mt19937 random(23);
    SCCodeTable codes;  // codes of up to 141 bits, beyond the table's 56-bit entries
    Values values;
    // Short codes only at first, so that coding from symbols meets the first long code some
    // batches into the stream.
    for (unsigned i = 0; i < 150; ++i) {
        values.push_back(static_cast<unsigned short>(i % 3));
    }
    for (unsigned i = 0; i < 800; ++i) {
        values.push_back(static_cast<unsigned short>(i * 3 % 8));
    }
    for (const unsigned short value : values) {
        codes[{1, value}] = randomBits(random, 1 + 20 * value);
    }
    codes[{4, 9}] = BitVector();  // a code of no bits
    values.insert(values.end(), 4, 9);
    const HuffmanEncodingTable table(codes);
    const auto symbolsOf = [](const Values& stream) {
        std::vector<PackedSymbol> symbols;
        forEachRun(stream.data(), stream.size(),
                   [&](const SCSymbol& symbol) { symbols.push_back(packSymbol(symbol)); });
        return symbols;
    };
    CodedStreamBuffer buffer;
    BitVector expected;
    ASSERT_TRUE(encodeValues(values.data(), values.size(), codes, expected));
    ASSERT_EQ(table.encodeStream(values.data(), values.size(), buffer), EncodeResult::kEncoded);
    EXPECT_EQ(streamAt(buffer, 0, buffer.size()), fileBytes(expected));
    std::vector<PackedSymbol> symbols = symbolsOf(values);
    std::size_t begin = buffer.size();
    ASSERT_EQ(table.encodeSymbols(symbols.data(), symbols.size(), buffer), EncodeResult::kEncoded);
    EXPECT_EQ(streamAt(buffer, begin, buffer.size()), fileBytes(expected));

    values.push_back(12345);  // no code: an empty stream, as encodeValues leaves
    begin = buffer.size();
    EXPECT_EQ(table.encodeStream(values.data(), values.size(), buffer), EncodeResult::kMissingCode);
    EXPECT_FALSE(encodeValues(values.data(), values.size(), codes, expected));
    EXPECT_EQ(streamAt(buffer, begin, buffer.size()), fileBytes(expected));
    symbols = symbolsOf(values);
    begin = buffer.size();
    EXPECT_EQ(table.encodeSymbols(symbols.data(), symbols.size(), buffer),
              EncodeResult::kMissingCode);
    EXPECT_EQ(streamAt(buffer, begin, buffer.size()), fileBytes(expected));
}

TEST(ByteDecodingTest, DecodesAndSumsAsTheTreeDecoderForEveryShape) {
    const std::vector<Values> all = sequences(5);
    const SCCodeTable codes = codesFor(all);
    const HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
    const HuffmanDecodingTable table(tree.get());
    for (const Values& values : all) {
        BitVector bits;
        ASSERT_TRUE(encodeValues(values.data(), values.size(), codes, bits));
        expectSameDecoding(bits, tree, table, values.size());
        Values decoded(values.size());
        std::vector<SCSymbol> scratch;
        const std::vector<unsigned char> bytes = padded(bits);
        ASSERT_TRUE(decodeStreamBytes(bytes.data(), bits.bitCount(), table, decoded.data(),
                                      decoded.size(), scratch));
        EXPECT_EQ(decoded, values);
    }
}

TEST(ByteDecodingTest, DamagedStreamsFailOrSucceedAsWithTheTreeDecoder) {
    const std::vector<Values> all = sequences(8);
    const SCCodeTable codes = codesFor(all);
    const HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
    const HuffmanDecodingTable table(tree.get());
    std::mt19937 random(11);
    for (const Values& values : all) {
        BitVector bits;
        ASSERT_TRUE(encodeValues(values.data(), values.size(), codes, bits));
        if (bits.empty()) {
            continue;
        }
        BitVector flipped = bits;
        const auto at = static_cast<std::uint32_t>(random() % bits.bitCount());
        flipped.setBit(at, !flipped.bit(at));
        expectSameDecoding(flipped, tree, table, values.size());
        expectSameDecoding(bits, tree, table, values.size() + 1);  // one value short
        expectSameDecoding(randomBits(random, bits.bitCount()), tree, table, values.size());
    }
}

TEST(ByteDecodingTest, ASingleLeafCodeDecodesZeroBitsOnly) {
    const SCCodeTable codes = codeTable({{{3, 4}, "0"}});
    const HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
    const HuffmanDecodingTable table(tree.get());
    expectSameDecoding(bitsFromText("000"), tree, table, 9);
    expectSameDecoding(bitsFromText("000"), tree, table, 8);
    expectSameDecoding(bitsFromText("010"), tree, table, 9);
    expectSameDecoding(BitVector(), tree, table, 0);
}

// The flat counts against an ordered map, with more distinct values than the flat rows hold
// and counts that wrap past 2^32, added through tallies as the counting threads add them.
TEST(SymbolCountTableTest, FlatCountsEqualThoseOfAMapWhateverTheValues) {
    std::mt19937 random(13);
    SCSymbolCounts expected;
    SymbolCountTable table;
    SymbolTally tally;
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < 5000; ++i) {
            const SCSymbol symbol(static_cast<unsigned char>(1 + random() % 255),
                                  static_cast<unsigned short>(random() % (round < 3 ? 50 : 65536)));
            const std::uint32_t times = i % 1000 == 0 ? 0xFFFFFFFFu : 1 + random() % 3;
            tally.add(symbol, times);
            expected[symbol] += times;
        }
        table.add(tally);
        EXPECT_TRUE(tally.empty());
        table.count({1, 7});
        ++expected[{1, 7}];
    }
    tally.add({2, 2}, 0);  // counted zero times: present all the same
    expected[{2, 2}] += 0;
    table.add(tally);
    EXPECT_EQ(table.counts(), expected);
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "raw/file_stream.h"
#include "scd/huffman_coding.h"
#include "scd/run_length.h"
#include "scd/stream_encoder.h"
#include "support/codec_bits.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Item = std::vector<unsigned short>;

// Items from memory (which must outlive the reader), recording the count of every read; it may
// fail from a given read on.
class MemoryItemReader : public SCItemReader {
  public:
    MemoryItemReader(const std::vector<Item>& items, unsigned itemSize)
        : items_(items), itemSize_(itemSize) {}

    void failFromRead(unsigned readIndex) { failFrom_ = readIndex; }

    std::vector<unsigned> requestedCounts;

    bool isOpen() const override { return true; }
    int close() override { return 1; }
    unsigned itemSize() const override { return itemSize_; }
    int read(unsigned short* buffer, unsigned count) override {
        if (requestedCounts.size() >= failFrom_) {
            return -1;
        }
        requestedCounts.push_back(count);
        unsigned delivered = 0;
        for (; delivered < count && next_ < items_.size(); ++delivered, ++next_) {
            buffer = std::copy(items_[next_].begin(), items_[next_].end(), buffer);
        }
        return static_cast<int>(delivered);
    }
    bool rewind() override {
        next_ = 0;
        return true;
    }

  private:
    const std::vector<Item>& items_;
    unsigned itemSize_;
    std::size_t next_ = 0;
    std::size_t failFrom_ = ~std::size_t{0};
};

std::vector<Item> randomItems(std::size_t count, unsigned itemSize, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<Item> items;
    for (std::size_t i = 0; i < count; ++i) {
        items.push_back(randomRuns(random, itemSize));
    }
    return items;
}

// A header whose code table is built from the symbols of the items.
SCDHeader headerCoding(const std::vector<Item>& items) {
    SCDHeader header;
    computeHuffmanCodes(buildHuffmanTree(countSymbols(items)), header.codes());
    return header;
}

// The stream whose bit count lies at `offset` of the file bytes.
BitVector streamAt(const std::vector<unsigned char>& file, std::uint64_t offset) {
    std::uint32_t bitCount = 0;
    for (int i = 3; i >= 0; --i) {
        bitCount = bitCount << 8 | file.at(offset + static_cast<unsigned>(i));
    }
    BitVector bits(bitCount);
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(offset + 4), bits.byteCount(),
                bits.data());
    return bits;
}

class StreamEncoderTest : public ::testing::Test {
  protected:
    // Encodes `count` items of `reader` into the test's data file and returns its bytes.
    std::vector<unsigned char> encode(MemoryItemReader& reader, unsigned count,
                                      const SCDHeader& header) {
        SystemOutputFileStream out(path);
        EXPECT_TRUE(out.isOpen());
        encodeStreams(reader, count, offsets, out, header);
        out.close();
        return readFileBytes(path);
    }

    // Whether the streams lie back to back from 0 and stream i decodes to item i.
    ::testing::AssertionResult holdsItems(const std::vector<unsigned char>& file,
                                          const std::vector<Item>& items, const SCDHeader& header) {
        const HuffmanTree tree = buildHuffmanTreeFromCodes(header.codes());
        std::uint64_t expectedOffset = 0;
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (offsets.at(i) != expectedOffset) {
                return ::testing::AssertionFailure()
                       << "stream " << i << " at " << offsets[i] << ", expected " << expectedOffset;
            }
            const BitVector bits = streamAt(file, offsets[i]);
            Item decoded(items[i].size());
            if (!items[i].empty() &&
                !decodeStream(bits, tree.get(), decoded.data(), decoded.size())) {
                return ::testing::AssertionFailure() << "stream " << i << " does not decode";
            }
            if (decoded != items[i]) {
                return ::testing::AssertionFailure() << "stream " << i << " is not item " << i;
            }
            expectedOffset += 4 + bits.byteCount();
        }
        if (file.size() != expectedOffset) {
            return ::testing::AssertionFailure()
                   << file.size() - expectedOffset << " bytes after the last stream";
        }
        return ::testing::AssertionSuccess();
    }

    TempDir dir;
    std::string path = dir.file("streams");
    std::vector<std::uint64_t> offsets = {7, 7};
};

TEST_F(StreamEncoderTest, NoItemWritesNothingAndEmptiesTheOffsets) {
    const std::vector<Item> items = randomItems(3, 10, 1);
    MemoryItemReader reader(items, 10);
    EXPECT_TRUE(encode(reader, 0, SCDHeader()).empty());
    EXPECT_TRUE(offsets.empty());
    EXPECT_TRUE(reader.requestedCounts.empty());
}

TEST_F(StreamEncoderTest, ThirtyThreeItemsGoInBlocksOfSixteenSixteenAndOne) {
    const std::vector<Item> items = randomItems(33, 700, 2);
    const SCDHeader header = headerCoding(items);
    MemoryItemReader reader(items, 700);
    const std::vector<unsigned char> file = encode(reader, 33, header);
    EXPECT_EQ(reader.requestedCounts, (std::vector<unsigned>{16, 16, 1}));
    ASSERT_EQ(offsets.size(), 33u);
    EXPECT_TRUE(holdsItems(file, items, header));
}

TEST_F(StreamEncoderTest, StreamsHaveTheBitsOfTheCodeTable) {
    const std::vector<Item> items = randomItems(20, 1000, 3);
    const SCDHeader header = headerCoding(items);
    MemoryItemReader reader(items, 1000);
    const std::vector<unsigned char> file = encode(reader, 20, header);
    for (std::size_t i = 0; i < items.size(); ++i) {
        BitVector expected;
        ASSERT_TRUE(encodeValues(items[i].data(), items[i].size(), header.codes(), expected));
        EXPECT_EQ(bitsToText(streamAt(file, offsets[i])), bitsToText(expected)) << i;
    }
}

TEST_F(StreamEncoderTest, AReaderThatEndsEarlyLeavesTheLastOffsetsZero) {
    const std::vector<Item> items = randomItems(20, 50, 4);
    const SCDHeader header = headerCoding(items);
    MemoryItemReader reader(items, 50);
    const std::vector<unsigned char> file = encode(reader, 33, header);
    ASSERT_EQ(offsets.size(), 33u);
    EXPECT_TRUE(std::all_of(offsets.begin() + 21, offsets.end(), [](auto o) { return o == 0; }));
    offsets.resize(20);
    EXPECT_TRUE(holdsItems(file, items, header));
}

TEST_F(StreamEncoderTest, AFailingReadEndsTheInput) {
    const std::vector<Item> items = randomItems(40, 50, 5);
    const SCDHeader header = headerCoding(items);
    MemoryItemReader reader(items, 50);
    reader.failFromRead(1);
    const std::vector<unsigned char> file = encode(reader, 40, header);
    ASSERT_EQ(offsets.size(), 40u);
    EXPECT_TRUE(std::all_of(offsets.begin() + 17, offsets.end(), [](auto o) { return o == 0; }));
    offsets.resize(16);
    EXPECT_TRUE(holdsItems(file, std::vector<Item>(items.begin(), items.begin() + 16), header));
}

TEST_F(StreamEncoderTest, NoMoreThanCountItemsAreRead) {
    const std::vector<Item> items = randomItems(40, 30, 6);
    const SCDHeader header = headerCoding(items);
    MemoryItemReader reader(items, 30);
    const std::vector<unsigned char> file = encode(reader, 18, header);
    EXPECT_EQ(reader.requestedCounts, (std::vector<unsigned>{16, 2}));
    EXPECT_TRUE(holdsItems(file, std::vector<Item>(items.begin(), items.begin() + 18), header));
}

TEST_F(StreamEncoderTest, ItemsWithoutValuesAreFourByteEmptyStreams) {
    const std::vector<Item> items(5);
    MemoryItemReader reader(items, 0);
    const std::vector<unsigned char> file = encode(reader, 5, SCDHeader());
    EXPECT_EQ(file, std::vector<unsigned char>(20, 0));
    EXPECT_EQ(offsets, (std::vector<std::uint64_t>{0, 4, 8, 12, 16}));
}

TEST_F(StreamEncoderTest, LargeItemsGoInSmallerBlocks) {
    // 3 MiB items: ten of them fill the 32 MiB of a block.
    std::vector<Item> items;
    for (unsigned short i = 0; i < 12; ++i) {
        items.emplace_back(3u << 19, i);
        items.back()[i] = 999;
    }
    const SCDHeader header = headerCoding(items);
    MemoryItemReader reader(items, 3u << 19);
    const std::vector<unsigned char> file = encode(reader, 12, header);
    EXPECT_EQ(reader.requestedCounts, (std::vector<unsigned>{10, 2}));
    EXPECT_TRUE(holdsItems(file, items, header));
}

TEST_F(StreamEncoderTest, AnItemWithASymbolMissingFromTheTableIsWrittenEmpty) {
    const std::vector<Item> items = randomItems(3, 40, 8);
    SCDHeader header = headerCoding({items[0], items[2]});
    const std::vector<Item> delivered = {items[0], Item(40, 12345), items[2]};
    MemoryItemReader reader(delivered, 40);
    EXPECT_DEBUG_DEATH(
        {
            const std::vector<unsigned char> file = encode(reader, 3, header);
            EXPECT_EQ(streamAt(file, offsets[1]).bitCount(), 0u);
            EXPECT_EQ(offsets[2], offsets[1] + 4);
        },
        "lacks a symbol");
}

}  // namespace

#include "scd/bit_vector.h"

#include <gtest/gtest.h>

#include <random>

#include "support/codec_bits.h"

using test_support::bitsFromText;
using test_support::bitsToText;

namespace {

std::vector<bool> readAll(const BitVector& bits) {
    std::vector<bool> read;
    BitCursor cursor(bits);
    while (!cursor.atEnd()) {
        read.push_back(cursor.next());
    }
    return read;
}

}  // namespace

TEST(BitVectorTest, NewVectorHoldsZeroBitsInWholeBytes) {
    BitVector bits(13);
    EXPECT_EQ(bits.bitCount(), 13u);
    EXPECT_EQ(bits.byteCount(), 2u);
    EXPECT_EQ(bits.data()[0], 0);
    EXPECT_EQ(bits.data()[1], 0);

    BitVector none(0);
    EXPECT_EQ(none.byteCount(), 0u);
    EXPECT_EQ(none.data(), nullptr);
}

TEST(BitVectorTest, BitZeroIsTheLeastSignificantBitOfTheFirstByte) {
    BitVector bits = bitsFromText("1000 0000 0110");
    EXPECT_EQ(bits.data()[0], 0x01);
    EXPECT_EQ(bits.data()[1], 0x06);
}

TEST(BitVectorTest, CopiesAreIndependentAndAssignmentTakesTheOtherLength) {
    BitVector original = bitsFromText("101");
    BitVector copy(original);
    copy.setBit(0, false);
    EXPECT_EQ(bitsToText(original), "101");

    BitVector longer(40);
    longer = original;
    EXPECT_EQ(longer.byteCount(), 1u);
    EXPECT_EQ(bitsToText(longer), "101");
}

TEST(BitVectorTest, AssignZerosClearsAndResizes) {
    BitVector bits = bitsFromText("1111 1111 1");
    bits.assignZeros(12);
    EXPECT_EQ(bitsToText(bits), "000000000000");
    bits.assignZeros(3);
    EXPECT_EQ(bits.byteCount(), 1u);
    EXPECT_EQ(bitsToText(bits), "000");
}

TEST(BitVectorTest, EqualityIgnoresBitsPastTheEnd) {
    BitVector a = bitsFromText("101");
    BitVector b = bitsFromText("101");
    b.data()[0] |= 0x80;
    EXPECT_EQ(a, b);
    b.clearUnusedBits();
    EXPECT_EQ(b.data()[0], 0x05);
    EXPECT_NE(a, bitsFromText("1010"));
    EXPECT_NE(a, bitsFromText("100"));
}

TEST(BitCursorTest, YieldsBitsInOrderAcrossBytesAndStopsAtTheLastBit) {
    BitVector bits = bitsFromText("1100 1010 011");
    bits.data()[1] |= 0xF8;  // bits past the end are never read
    std::vector<bool> expected = {1, 1, 0, 0, 1, 0, 1, 0, 0, 1, 1};
    EXPECT_EQ(readAll(bits), expected);
    EXPECT_TRUE(readAll(BitVector()).empty());
}

TEST(BitWriterTest, PutsBitsAtConsecutivePositionsAcrossWords) {
    std::mt19937 random(7);
    std::uniform_int_distribution<unsigned> width(0, 64);
    for (int round = 0; round < 50; ++round) {
        std::string expected;
        std::vector<std::pair<std::uint64_t, unsigned>> pieces;
        for (int i = 0; i < 20; ++i) {
            unsigned count = width(random);
            std::uint64_t value = (std::uint64_t{random()} << 32) | random();
            value = count == 64 ? value : value & ((std::uint64_t{1} << count) - 1);
            pieces.emplace_back(value, count);
            for (unsigned b = 0; b < count; ++b) {
                expected += ((value >> b) & 1) != 0 ? '1' : '0';
            }
        }
        BitVector bits(static_cast<std::uint32_t>(expected.size()));
        {
            BitWriter writer(bits);
            for (auto [value, count] : pieces) {
                writer.put(value, count);
            }
        }
        ASSERT_EQ(bitsToText(bits), expected);
    }
}

TEST(BitWriterTest, PutsLongCodesAndNeverStoresPastTheLastByte) {
    std::mt19937 random(11);
    BitVector code = test_support::randomBits(random, 150);
    BitVector bits(3 + 150);
    BitWriter writer(bits);
    writer.put(0b101, 3);
    writer.put(code);
    writer.put(0xFFFF, 16);  // past the end
    writer.finish();
    EXPECT_EQ(bitsToText(bits), "101" + bitsToText(code));
}

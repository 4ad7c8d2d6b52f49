#include "codec/bit_vector.h"

#include <gtest/gtest.h>

#include "support/codec_bits.h"

using namespace test_support;

TEST(BitVectorTest, BitIIsBitIMod8OfByteIDiv8FromTheLeastSignificantBitOn) {
    BitVector bits = bitsFromText("1000 0000 0110 1");
    ASSERT_EQ(bits.byteCount(), 2u);
    EXPECT_EQ(bits.data()[0], 0x01);
    EXPECT_EQ(bits.data()[1], 0x16);
    EXPECT_TRUE(bits.bit(0) && bits.bit(9) && bits.bit(10) && bits.bit(12) && !bits.bit(11));
    EXPECT_EQ(BitVector(13).data()[1], 0) << "a new vector holds zero bits";
}

TEST(BitVectorTest, CopiesAreIndependentAndEqualityIgnoresBitsPastTheEnd) {
    BitVector original = bitsFromText("101");
    BitVector copy(original);
    copy.setBit(0, false);
    EXPECT_EQ(original, bitsFromText("101"));
    BitVector longer(40);
    longer = original;
    EXPECT_EQ(longer.byteCount(), 1u);
    longer.data()[0] |= 0x80;
    EXPECT_EQ(longer, original);
    EXPECT_NE(original, bitsFromText("1010"));
}

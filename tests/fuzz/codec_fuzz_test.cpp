// The codec against damaged input: header files with random damage, random code tables and bit
// strings. Every case must end in a documented result, without a crash, a hang or a write
// outside a buffer (these tests also run under AddressSanitizer).

#include <gtest/gtest.h>

#include <random>

#include "codec/huffman_coding.h"
#include "sc_api/sc_error_code.h"
#include "scd/format/scd_header.h"
#include "support/codec_bits.h"

using namespace test_support;

namespace {

// Overwrites a 32-bit word with an extreme value, or replaces up to 8 bytes by up to 8 others.
void damage(std::mt19937& random, std::string& bytes) {
    static constexpr std::uint32_t kExtremes[] = {0, 1, 7, 8, 32, 64, 0x7FFFFFFF, 0xFFFFFFFF};
    std::size_t at = random() % (bytes.size() + 1);
    if (random() % 2 == 0) {
        bytes.replace(at, 4, ByteWriter().u32(kExtremes[random() % 8]).str());
    } else {
        bytes.replace(at, random() % 9, std::string(random() % 9, static_cast<char>(random())));
    }
}

}  // namespace

TEST(CodecFuzzTest, HeaderReadingSurvivesDamagedFiles) {
    std::mt19937 random(31);
    SCDHeader seed(12, 10, 9, 7, 0.5f);
    for (std::uint64_t i = 0; i < 12 * 7 + 9; ++i) {
        (i < 12 * 7 ? seed.spectrumOffsets() : seed.imageOffsets()).push_back(i * 300);
        seed.codes()[{1, static_cast<unsigned short>(i)}] = randomBits(random, random() % 20);
    }
    int accepted = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = headerBytes(seed);
        for (unsigned damages = 1 + random() % 4; damages != 0; --damages) {
            damage(random, bytes);
        }
        SCDHeader header;
        int result = readHeaderBytes(bytes, header);
        ASSERT_TRUE(result == SC_OK || result == SC_FORMAT_ERROR);
        if (result == SC_OK) {
            ++accepted;
            std::string rewritten = headerBytes(header);
            ASSERT_EQ(readHeaderBytes(rewritten, header), SC_OK);
            ASSERT_EQ(headerBytes(header), rewritten);
        }
        ASSERT_FALSE(HasFailure()) << "round " << round;
    }
    EXPECT_GT(accepted, 100) << "damage that leaves a readable header";
}

TEST(CodecFuzzTest, DecodingSurvivesRandomTablesAndBits) {
    std::mt19937 random(41);
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        SCCodeTable codes;  // mostly refused, sometimes an incomplete or a complete code
        for (unsigned entries = random() % 12; entries != 0; --entries) {
            codes[{static_cast<unsigned char>(random() % 4),
                   static_cast<unsigned short>(random() % 5)}] = randomBits(random, random() % 6);
        }
        std::string text;  // a few codes of the table one after another
        std::size_t count = 0;
        for (unsigned n = codes.empty() ? 0 : random() % 6; n != 0; --n) {
            auto entry = std::next(codes.begin(), random() % codes.size());
            text += bitsToText(entry->second);
            count += entry->first.first;
        }
        BitVector bits = round % 3 == 0 ? randomBits(random, random() % 40) : bitsFromText(text);
        count = round % 4 == 0 ? random() % 40 : count;
        decoded += decodeGuarded(bits, buildHuffmanTreeFromCodes(codes), count).has_value();
        ASSERT_FALSE(HasFailure()) << "round " << round;
    }
    EXPECT_GT(decoded, 300);
    EXPECT_LT(decoded, 2700);
}

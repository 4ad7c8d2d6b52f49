#include "sc_api/fragmented_scd_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "sc_api/sc_error_code.h"

namespace {

std::string written(const FragmentedSCDHeader& header) {
    std::ostringstream out(std::ios::binary);
    EXPECT_EQ(header.write(out), SC_OK);
    return out.str();
}

int readFrom(const std::string& bytes, FragmentedSCDHeader& header) {
    std::istringstream in(bytes, std::ios::binary);
    return header.read(in);
}

std::uint32_t uint32At(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(bytes.at(offset + i));
    }
    return value;
}

void putUint32(std::string& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.at(offset + i) = static_cast<char>(value >> (8 * i));
    }
}

// Two areas side by side in a 4 x 2 cube, the second acquired on one line only.
std::string twoAreaFile() {
    FragmentedSCDHeader header(4, 2, 16, 2.5f);
    EXPECT_EQ(header.addArea(0, 0), 1u);
    EXPECT_EQ(header.addArea(2, 0), 2u);
    for (unsigned x = 0; x < 2; ++x) {
        header.setAreaIndex(x, 0, 1);
        header.setAreaIndex(x, 1, 1);
        header.setAreaIndex(x + 2, 0, 2);
    }
    return written(header);
}

}  // namespace

TEST(FragmentedSCDHeader, NewHeaderIsAllZeroGridAndOriginZero) {
    FragmentedSCDHeader header(3, 2, 100, 1.0f);
    EXPECT_EQ(header.numAreas(), 0u);
    EXPECT_EQ(header.getAreaIndex(2, 1), 0u);
    const std::string bytes = written(header);
    ASSERT_EQ(bytes.size(), 32u + 4 * 3 * 2 + 8);
    EXPECT_EQ(bytes.substr(0, 4), "FDCS");
    EXPECT_EQ(uint32At(bytes, 4), 1u);
    EXPECT_EQ(uint32At(bytes, 8), 2u);
    EXPECT_EQ(uint32At(bytes, 12), 0u);
    EXPECT_EQ(uint32At(bytes, 16), 3u);
    EXPECT_EQ(uint32At(bytes, 20), 2u);
    EXPECT_EQ(uint32At(bytes, 24), 100u);
    EXPECT_EQ(uint32At(bytes, 28), 0x3f800000u);  // 1.0f
    for (std::size_t offset = 32; offset < bytes.size(); offset += 4) {
        EXPECT_EQ(uint32At(bytes, offset), 0u);
    }
}

TEST(FragmentedSCDHeader, AreasGetIndicesFromOneAndTheLastSetIndexWins) {
    FragmentedSCDHeader header(4, 4, 8, 1.0f);
    EXPECT_EQ(header.addArea(0, 0), 1u);
    EXPECT_EQ(header.addArea(1, 1), 2u);
    EXPECT_EQ(header.numAreas(), 2u);
    header.setAreaIndex(1, 1, 1);
    header.setAreaIndex(1, 1, 2);
    EXPECT_EQ(header.getAreaIndex(1, 1), 2u);
    EXPECT_EQ(header.getOrigin(0), std::make_pair(0u, 0u));
    EXPECT_EQ(header.getOrigin(2), std::make_pair(1u, 1u));
    const std::string bytes = written(header);
    ASSERT_EQ(bytes.size(), 32u + 4 * 16 + 8 * 3);
    EXPECT_EQ(uint32At(bytes, 32 + 4 * 5), 2u);    // pixel (1, 1)
    EXPECT_EQ(uint32At(bytes, 32 + 64 + 16), 1u);  // origin 2, x
}

TEST(FragmentedSCDHeader, WriteReadWriteIsByteIdentical) {
    const std::string first = twoAreaFile();
    FragmentedSCDHeader header;
    ASSERT_EQ(readFrom(first, header), SC_OK);
    EXPECT_EQ(header.width(), 4u);
    EXPECT_EQ(header.height(), 2u);
    EXPECT_EQ(header.depth(), 16u);
    EXPECT_FLOAT_EQ(header.factor(), 2.5f);
    EXPECT_EQ(header.numAreas(), 2u);
    EXPECT_EQ(header.getAreaIndex(3, 0), 2u);
    EXPECT_EQ(header.getAreaIndex(3, 1), 0u);
    EXPECT_EQ(header.getOrigin(2), std::make_pair(2u, 0u));
    EXPECT_EQ(written(header), first);
}

TEST(FragmentedSCDHeader, EmptyGridStillReadsTheOrigins) {
    FragmentedSCDHeader made(0, 5, 4, 1.0f);
    made.addArea(0, 0);
    const std::string bytes = written(made);
    ASSERT_EQ(bytes.size(), 32u + 16);
    FragmentedSCDHeader header;
    ASSERT_EQ(readFrom(bytes, header), SC_OK);
    EXPECT_EQ(header.numAreas(), 1u);
    EXPECT_EQ(written(header), bytes);
}

TEST(FragmentedSCDHeader, RefusesForeignVersionsTypesAndCutFiles) {
    const std::string good = twoAreaFile();
    std::string badMagic = good;
    badMagic[0] = 'X';
    std::string version2 = good;
    putUint32(version2, 4, 2);
    std::string simpleType = good;
    putUint32(simpleType, 8, 1);
    for (const std::string& bad : {badMagic, version2, simpleType}) {
        FragmentedSCDHeader header;
        EXPECT_EQ(readFrom(bad, header), SC_FORMAT_ERROR);
    }
    for (std::size_t length = 0; length < good.size(); ++length) {
        FragmentedSCDHeader header;
        EXPECT_EQ(readFrom(good.substr(0, length), header), SC_FORMAT_ERROR) << length;
    }
}

TEST(FragmentedSCDHeader, RefusesCountsTheFileCannotHoldWithoutAllocatingThem) {
    std::string huge = twoAreaFile();
    putUint32(huge, 16, 0xffffffffu);  // width
    putUint32(huge, 20, 0xffffffffu);  // height
    FragmentedSCDHeader header;
    EXPECT_EQ(readFrom(huge, header), SC_FORMAT_ERROR);
    std::string manyAreas = twoAreaFile();
    putUint32(manyAreas, 12, 0xffffffffu);
    EXPECT_EQ(readFrom(manyAreas, header), SC_FORMAT_ERROR);
}

TEST(FragmentedSCDHeader, FailedWriteReportsWriteError) {
    FragmentedSCDHeader header(2, 2, 4, 1.0f);
    std::ofstream unopened;
    EXPECT_EQ(header.write(unopened), SC_WRITE_ERROR);
}

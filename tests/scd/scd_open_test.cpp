#include <gtest/gtest.h>

#include <memory>

#include "sc_api/scd.h"
#include "scd/scd_probe.h"
#include "support/codec_bits.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

class SCDOpenTest : public ::testing::Test {
  protected:
    void writeHeader(const std::string& bytes) { writeFileText(base + ".scdh", bytes); }

    // The first fields of a header file: magic, version, header type.
    static ByteWriter headerStart(std::uint32_t type, std::uint32_t magic = SCD::MAGIC_NUMBER) {
        ByteWriter header;
        header.u32(magic).u32(SCD::VERSION).u32(type);
        return header;
    }

    std::string writtenHeader() {
        EXPECT_TRUE(writeReferenceSCD(base, makeReferenceCube(3, 2, 4, 2, variedCount)));
        return readFileText(base + ".scdh");
    }

    TempDir dir;
    std::string base = dir.file("cube");
};

}  // namespace

TEST_F(SCDOpenTest, ProbeTellsTheHeaderTypeAsWritten) {
    writeHeader(headerStart(SCD::SIMPLE_HEADER).str());
    EXPECT_EQ(probeHeaderType(base), SCD::SIMPLE_HEADER);
    writeHeader(headerStart(SCD::FRAGMENTED_HEADER).str());
    EXPECT_EQ(probeHeaderType(base), SCD::FRAGMENTED_HEADER);
    writeHeader(headerStart(3).str());
    EXPECT_EQ(probeHeaderType(base), 3u);
}

TEST_F(SCDOpenTest, ProbeFindsNoHeaderInMissingForeignOrShortFiles) {
    EXPECT_EQ(probeHeaderType(base), SCD::NOT_A_HEADER);
    EXPECT_FALSE(fileExists(base + ".scdh"));
    writeHeader(headerStart(SCD::SIMPLE_HEADER, 0x46445343).str());
    EXPECT_EQ(probeHeaderType(base), SCD::NOT_A_HEADER);
    writeHeader(headerStart(SCD::SIMPLE_HEADER).str().substr(0, 11));
    EXPECT_EQ(probeHeaderType(base), SCD::NOT_A_HEADER);
}

TEST_F(SCDOpenTest, OpensByHeaderTypeAndRefusesUnknownTypes) {
    const std::string simple = writtenHeader();
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(cube->isOpen());
    EXPECT_EQ(cube->width(), 3u);
    EXPECT_EQ(cube->height(), 2u);
    EXPECT_EQ(cube->depth(), 4u);
    cube.reset();

    // A fragmented header goes to the fragmented reader, which refuses this cut one.
    writeHeader(headerStart(SCD::FRAGMENTED_HEADER).u32(0).str());
    EXPECT_FALSE(openSCDCube(base));
    writeHeader(headerStart(3).str() + simple.substr(12));
    EXPECT_FALSE(openSCDCube(base));
}

TEST_F(SCDOpenTest, MissingHeaderOpensNothingAndCreatesNothing) {
    EXPECT_FALSE(openSCDCube(base));
    EXPECT_FALSE(fileExists(base + ".scds"));
    EXPECT_FALSE(fileExists(base + ".scdi"));
}

TEST_F(SCDOpenTest, HeadersCutShortAreRefused) {
    const std::string header = writtenHeader();
    for (std::size_t length : {std::size_t{12}, std::size_t{35}, header.size() - 1}) {
        writeHeader(header.substr(0, length));
        EXPECT_FALSE(openSCDCube(base)) << "cut after " << length << " bytes";
    }
}

TEST_F(SCDOpenTest, CountsTheHeaderFileCannotHoldAreRefused) {
    // An index of 65535 x 65535 entries, and a code table of 2^32 - 1 entries, in a few bytes.
    ByteWriter hugeIndex = headerStart(SCD::SIMPLE_HEADER);
    hugeIndex.u32(SCD::INDEX64).u32(65535).u32(65535).u32(1).u32(65535).f32(1.0f).u64(0);
    writeHeader(hugeIndex.str());
    EXPECT_FALSE(openSCDCube(base));

    ByteWriter hugeTable = headerStart(SCD::SIMPLE_HEADER);
    hugeTable.u32(SCD::INDEX32).u32(1).u32(1).u32(1).u32(1).f32(1.0f).u32(0).u32(0);
    hugeTable.u32(0xFFFFFFFF).u8(1).u16(0).u32(0xFFFFFFFF);
    writeHeader(hugeTable.str());
    EXPECT_FALSE(openSCDCube(base));
}

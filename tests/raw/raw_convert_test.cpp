// Conversions between the raw storage orders (saveAs), export of any cube (saveSCCube) and
// removal of raw cubes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sc_api/sc_raw_io.h"
#include "support/memory_cube.h"
#include "support/raw_cube_files.h"
#include "support/temp_dir.h"

namespace {

using test_support::CubeValues;
using test_support::distinctValue;
using test_support::fileExists;
using test_support::MemoryCube;
using test_support::rawDataBytes;
using test_support::readFileBytes;
using test_support::readFileText;
using test_support::rplText;
using test_support::TempDir;
using test_support::writeFileBytes;
using test_support::writeRawCube;
using Bytes = std::vector<unsigned char>;

constexpr auto kByImage = SCRawHeader::RECORD_BY_IMAGE;
constexpr auto kByVector = SCRawHeader::RECORD_BY_VECTOR;
constexpr unsigned kWidth = 5;
constexpr unsigned kHeight = 3;
constexpr unsigned kDepth = 6;

// Mostly zeros, as spectral maps usually are.
std::uint32_t sparseValue(unsigned x, unsigned y, unsigned c) {
    return (x + y + c) % 4 == 0 ? distinctValue(x, y, c) : 0;
}

class RawConversions : public testing::TestWithParam<SCRawHeader::StorageFormat> {
  protected:
    SharedPtr<SCRawFile, SCDeleteRawFile> source(const CubeValues& values = sparseValue) {
        writeRawCube(source_, kWidth, kHeight, kDepth, GetParam(), values);
        return SCRawIO::openSCRawFile(source_);
    }
    static Bytes layout(SCRawHeader::StorageFormat format, const CubeValues& values = sparseValue) {
        return rawDataBytes(kWidth, kHeight, kDepth, format, values);
    }

    TempDir dir_;
    std::string source_ = dir_.file("source");
    std::string target_ = dir_.file("target");
};

TEST_P(RawConversions, SaveAsWritesEitherOrderExactlyOverAnyOldFile) {
    auto cube = source();
    for (SCRawHeader::StorageFormat format : {kByImage, kByVector}) {
        writeFileBytes(target_ + ".raw", Bytes(4096, 0x5A));
        ASSERT_EQ(cube->saveAs(target_, format), SC_OK);
        EXPECT_EQ(readFileText(target_ + ".rpl"), rplText(kWidth, kHeight, kDepth, format));
        EXPECT_EQ(readFileBytes(target_ + ".raw"), layout(format)) << format;
    }
}

TEST_P(RawConversions, ARoundTripThroughTheOtherOrderIsByteIdentical) {
    auto cube = source(distinctValue);
    ASSERT_EQ(cube->saveAs(target_, GetParam() == kByImage ? kByVector : kByImage), SC_OK);
    const std::string back = dir_.file("back");
    ASSERT_EQ(SCRawIO::openSCRawFile(target_)->saveAs(back, GetParam()), SC_OK);
    EXPECT_EQ(readFileBytes(back + ".raw"), readFileBytes(source_ + ".raw"));
    EXPECT_EQ(readFileText(back + ".rpl"), readFileText(source_ + ".rpl"));
}

TEST_P(RawConversions, RefuseToOverwriteTheirOwnDataOrToWriteNowhere) {
    auto cube = source();
    const Bytes before = readFileBytes(source_ + ".raw");
    for (SCRawHeader::StorageFormat format : {kByImage, kByVector}) {
        EXPECT_EQ(cube->saveAs(source_, format), SC_FILE_ERROR);
        EXPECT_EQ(SCRawIO::saveSCCube(source_, *cube, format), SC_FILE_ERROR);
        EXPECT_EQ(cube->saveAs(dir_.file("missing/target"), format), SC_FILE_ERROR);
    }
    EXPECT_EQ(readFileBytes(source_ + ".raw"), before);
}

TEST_P(RawConversions, RemoveThePartialOutputWhenAReadFails) {
    auto cube = source();
    std::filesystem::resize_file(source_ + ".raw", 4 * kWidth * kHeight);
    for (SCRawHeader::StorageFormat format : {kByImage, kByVector}) {
        EXPECT_EQ(cube->saveAs(target_, format), SC_FORMAT_ERROR);
        EXPECT_FALSE(fileExists(target_ + ".raw"));
    }
    EXPECT_EQ(cube->close(), SC_OK);
    EXPECT_EQ(cube->saveAs(target_, kByImage), SC_FILE_ERROR);
}

TEST_P(RawConversions, SaveSCCubeOfARawCubeIsByteExact) {
    auto cube = source(distinctValue);
    for (SCRawHeader::StorageFormat format : {kByImage, kByVector}) {
        ASSERT_EQ(SCRawIO::saveSCCube(target_, *cube, format), SC_OK);
        EXPECT_EQ(readFileBytes(target_ + ".raw"), layout(format, distinctValue));
        EXPECT_EQ(readFileText(target_ + ".rpl"), rplText(kWidth, kHeight, kDepth, format));
    }
}

INSTANTIATE_TEST_SUITE_P(BothOrders, RawConversions, testing::Values(kByImage, kByVector));

TEST(SaveSCCube, ScalesImagesTo16BitsAndSpectraTo32Bits) {
    TempDir dir;
    MemoryCube cube(2, 1, 2, [](unsigned x, unsigned, unsigned c) {
        return static_cast<unsigned short>(x == 0 ? 40000 : 3 + c);
    });
    cube.setFactor(2.0f);
    const CubeValues doubled = [](unsigned x, unsigned, unsigned c) {
        return x == 0 ? 80000u : 2 * (3u + c);
    };
    ASSERT_EQ(SCRawIO::saveSCCube(dir.file("image"), cube, kByImage), SC_OK);
    EXPECT_EQ(readFileBytes(dir.file("image.raw")),
              rawDataBytes(2, 1, 2, kByImage, [&](unsigned x, unsigned y, unsigned c) {
                  return doubled(x, y, c) & 0xFFFFu;
              }));
    ASSERT_EQ(SCRawIO::saveSCCube(dir.file("vector"), cube, kByVector), SC_OK);
    EXPECT_EQ(readFileBytes(dir.file("vector.raw")), rawDataBytes(2, 1, 2, kByVector, doubled));
}

TEST(SaveSCCube, WritesZerosWhereTheCubeCannotBeRead) {
    TempDir dir;
    MemoryCube cube(2, 2, 3, [](unsigned, unsigned, unsigned) -> unsigned short { return 9; });
    cube.failFromCall(0, SC_FORMAT_ERROR);
    for (SCRawHeader::StorageFormat format : {kByImage, kByVector}) {
        ASSERT_EQ(SCRawIO::saveSCCube(dir.file("cube"), cube, format), SC_OK);
        EXPECT_EQ(readFileBytes(dir.file("cube.raw")), Bytes(48, 0));
    }
    EXPECT_EQ(SCRawIO::saveSCCube(dir.file("missing/cube"), cube, kByImage), SC_FILE_ERROR);
    std::filesystem::create_directory(dir.file("other.rpl"));
    EXPECT_EQ(SCRawIO::saveSCCube(dir.file("other"), cube, kByImage), SC_FILE_ERROR);
}

TEST(RemoveSCRaw, DeletesBothFilesAndSkipsMissingOnes) {
    TempDir dir;
    const std::string base = dir.file("cube");
    writeRawCube(base, 1, 1, 1, kByVector, distinctValue);
    SCRawIO::removeSCRaw(base);
    EXPECT_FALSE(fileExists(base + ".rpl"));
    EXPECT_FALSE(fileExists(base + ".raw"));
    writeFileBytes(base + ".raw", {1, 2, 3, 4});
    SCRawIO::removeSCRaw(base);
    EXPECT_FALSE(fileExists(base + ".raw"));
}

}  // namespace

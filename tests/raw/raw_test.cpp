// The raw format: headers, and raw cubes read, built and converted in both orders.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "raw/raw_header_io.h"
#include "sc_api/raw_to_scd.h"
#include "sc_api/sc_raw_io.h"
#include "support/memory_cube.h"
#include "support/raw_cube_files.h"
#include "support/scd_writers.h"

namespace {

using namespace test_support;
using Bytes = std::vector<unsigned char>;
using Counts = std::vector<unsigned short>;
using Format = SCRawHeader::StorageFormat;
namespace fs = std::filesystem;

constexpr Format kByImage = SCRawHeader::RECORD_BY_IMAGE;
constexpr Format kByVector = SCRawHeader::RECORD_BY_VECTOR;
constexpr unsigned kWidth = 4, kHeight = 3, kDepth = 5;

const std::string kLayout = " data-length 4 data-type unsigned byte-order little-endian ";
const std::string kDimensions = "width 1 height 2 depth 3";

SCErrorCode readText(const std::string& text, SCRawHeader* read = nullptr) {
    TempDir dir;
    writeFileText(dir.file("cube.rpl"), text);
    SCRawHeader header;
    return SCRawIO::readSCRawHeader(dir.file("cube.rpl"), read != nullptr ? *read : header);
}

TEST(RplHeader, IsWrittenAsNineLinesOverAnyOldFile) {
    TempDir dir;
    writeFileText(dir.file("cube.rpl"), std::string(4000, 'x'));
    ASSERT_EQ(writeSCRawHeader(dir.file("cube.rpl"), SCRawHeader(10, 20, 4294967295u, kByVector)),
              SC_OK);
    EXPECT_EQ(readFileText(dir.file("cube.rpl")),
              "key\tvalue\nwidth\t10\nheight\t20\ndepth\t4294967295\noffset\t0\ndata-length\t4\n"
              "data-type\tunsigned\nbyte-order\tlittle-endian\nrecord-by\tvector\n");
}

TEST(RplHeader, AcceptsAnyOrderAndSpacingButNotOtherLayoutsCapitalKeysOrNonDecimals) {
    SCRawHeader header;
    ASSERT_EQ(readText("record-by image\r\n  depth\t\t3 width x width 5\n\n height\v2\f" + kLayout,
                       &header),
              SC_OK);
    EXPECT_EQ(header.width(), 5u);
    EXPECT_EQ(header.height(), 2u);
    EXPECT_EQ(header.format(), kByImage);
    for (const std::string& text :
         {"offset 0 " + kDimensions + kLayout + "record-by vector",
          "width 4294967295 height 0007 depth 1" + kLayout + "record-by vector"}) {
        EXPECT_EQ(readText(text), SC_OK) << text;
    }
    const auto width = [](const char* value) {
        return "height 1 depth 1" + kLayout + "record-by vector width " + value;
    };
    for (const std::string& text :
         {kDimensions + " data-length 2 data-type unsigned byte-order x record-by vector",
          kDimensions + " data-length 4 data-type signed byte-order x record-by vector",
          kDimensions + kLayout + "Record-By vector", kDimensions + kLayout + "record-by Image",
          kDimensions + " width x" + kLayout + "record-by vector", kDimensions + kLayout,
          "offset 512 " + kDimensions + kLayout + "record-by vector",
          "offset x " + kDimensions + kLayout + "record-by vector",
          kDimensions + " data-length 4 data-type unsigned byte-order big-endian record-by image",
          kDimensions + " data-length 4 data-type unsigned record-by vector byte-order",
          width("-1"), width("+5"), width("12abc"), width("0x10"), width("4294967296"),
          width("")}) {
        EXPECT_EQ(readText(text), SC_FORMAT_ERROR) << text;
    }
}

TEST(RplHeader, SurvivesDamagedFiles) {
    const std::string header = rplText(1, 1, 1, kByVector);
    EXPECT_EQ(readText(header + std::string((1 << 20) - header.size(), ' ')), SC_OK);
    EXPECT_EQ(readText(header + std::string((1 << 20) - header.size() + 1, ' ')), SC_FORMAT_ERROR);
    EXPECT_EQ(readText("width " + std::string(100000, '7') + " height 1 depth 1" + kLayout),
              SC_FORMAT_ERROR);
    EXPECT_EQ(readText(std::string("\0\xff\x01 width\0 1", 12)), SC_FORMAT_ERROR);
}

// Every value above 65535, their low 16 bits all different.
std::uint32_t wideValue(unsigned x, unsigned y, unsigned c) {
    return 70000u * (c + 1) + x + 10 * y;
}

// Values first .. first+count-1 of a data file laid out by rawDataBytes, low 16 bits.
Counts low16(const Bytes& data, unsigned first, unsigned count) {
    Counts values;
    for (unsigned i = first; i < first + count; ++i) {
        values.push_back(static_cast<unsigned short>(data[4 * i] | data[4 * i + 1] << 8));
    }
    return values;
}

SCErrorCode addLine(SCFileBuilder& builder, unsigned y, const CubeValues& values = distinctValue) {
    return builder.addSpectrumLine(spectrumLine(kWidth, kDepth, y, values).data());
}

class RawCubes : public testing::TestWithParam<Format> {
  protected:
    Format other() const { return GetParam() == kByImage ? kByVector : kByImage; }
    // The data file of the cube whose first `lines` lines are distinctValue's, the others zero.
    Bytes layout(Format format, unsigned lines = kHeight) const {
        return rawDataBytes(kWidth, kHeight, kDepth, format,
                            [=](unsigned x, unsigned y, unsigned c) {
                                return y < lines ? distinctValue(x, y, c) : 0u;
                            });
    }
    SharedPtr<SCRawFile, SCDeleteRawFile> open(const CubeValues& values = distinctValue) {
        writeRawCube(base_, kWidth, kHeight, kDepth, GetParam(), values);
        return SCRawIO::openSCRawFile(base_);
    }
    SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builder() {
        return SCRawIO::getBuilder(base_, SCRawHeader(kWidth, kHeight, kDepth, GetParam()));
    }

    TempDir dir_;
    std::string base_ = dir_.file("cube");
    std::string target_ = dir_.file("target");
    Counts out_ = Counts(kWidth * kHeight * kDepth, 7);
};

TEST_P(RawCubes, ReadRunsOfSpectraAcrossRowsAndRunsOfImagesKeepingLow16Bits) {
    auto file = open(wideValue);
    ASSERT_TRUE(file);
    Counts out((kWidth * kHeight - 1) * kDepth);
    ASSERT_EQ(file->readSpectrums(1, 0, kWidth * kHeight - 1, out.data()), SC_OK);
    EXPECT_EQ(out, low16(rawDataBytes(kWidth, kHeight, kDepth, kByVector, wideValue), kDepth,
                         out.size()));
    out.resize((kDepth - 1) * kWidth * kHeight);
    ASSERT_EQ(file->readImages(1, kDepth - 1, out.data()), SC_OK);
    EXPECT_EQ(out, low16(rawDataBytes(kWidth, kHeight, kDepth, kByImage, wideValue),
                         kWidth * kHeight, out.size()));
}

TEST_P(RawCubes, RefuseRangesLeavingTheCubeAndReadsOfCutOrClosedFiles) {
    auto file = open();
    for (const auto& [x, y, count] :
         {std::tuple{1u, 2u, kWidth}, {kWidth, 0u, 1u}, {0u, kHeight, 1u}, {1u, 0u, UINT_MAX}}) {
        EXPECT_EQ(file->readSpectrums(x, y, count, out_.data()), SC_OUT_OF_RANGE);
    }
    for (const auto& [first, count] : {std::pair{kDepth, 1u}, {kDepth - 1, 2u}, {UINT_MAX, 2u}}) {
        EXPECT_EQ(file->readImages(first, count, out_.data()), SC_OUT_OF_RANGE);
    }
    EXPECT_EQ(out_, Counts(out_.size(), 7)) << "refused reads write nothing";
    fs::resize_file(base_ + ".raw", 8);
    EXPECT_EQ(file->readSpectrums(0, 2, 2, out_.data()), SC_FORMAT_ERROR);
    EXPECT_EQ(file->readImages(0, kDepth, out_.data()), SC_FORMAT_ERROR);
    EXPECT_EQ(file->saveAs(target_, other()), SC_FORMAT_ERROR);
    EXPECT_FALSE(fileExists(target_ + ".raw")) << "partial output removed";
    EXPECT_EQ(file->close(), SC_OK);
    EXPECT_EQ(file->readSpectrums(0, 0, 1, out_.data()), SC_FILE_ERROR);
}

TEST_P(RawCubes, SaveAsWritesTheOtherOrderOverAnyOldFileAndBackByteIdentical) {
    auto file = open();
    writeFileBytes(target_ + ".raw", Bytes(4096, 0x5A));
    ASSERT_EQ(file->saveAs(target_, other()), SC_OK);
    EXPECT_EQ(readFileText(target_ + ".rpl"), rplText(kWidth, kHeight, kDepth, other()));
    EXPECT_EQ(readFileBytes(target_ + ".raw"), layout(other()));
    ASSERT_EQ(SCRawIO::openSCRawFile(target_)->saveAs(dir_.file("back"), GetParam()), SC_OK);
    EXPECT_EQ(readFileBytes(dir_.file("back.raw")), readFileBytes(base_ + ".raw"));
    EXPECT_EQ(readFileText(dir_.file("back.rpl")), readFileText(base_ + ".rpl"));
    EXPECT_EQ(file->saveAs(base_, other()), SC_FILE_ERROR) << "its own data";
    EXPECT_EQ(readFileBytes(base_ + ".raw"), layout(GetParam()));
}

TEST_P(RawCubes, BuildersWriteTheirLinesOverAnyOldFileThenTheHeaderOrNothingIfCancelled) {
    writeFileBytes(base_ + ".raw", Bytes(1000, 0xFF));
    auto built = builder();
    ASSERT_TRUE(built);
    for (unsigned y = 0; y < kHeight; ++y) {
        ASSERT_EQ(addLine(*built, y), SC_OK);
    }
    const Bytes before = readFileBytes(base_ + ".raw");
    EXPECT_EQ(addLine(*built, kHeight), SC_OUT_OF_RANGE);
    EXPECT_EQ(readFileBytes(base_ + ".raw"), before);
    EXPECT_FALSE(fileExists(base_ + ".rpl"));
    ASSERT_EQ(built->close(), SC_OK);
    EXPECT_EQ(readFileText(base_ + ".rpl"), rplText(kWidth, kHeight, kDepth, GetParam()));
    EXPECT_EQ(readFileBytes(base_ + ".raw"), layout(GetParam()));
    EXPECT_EQ(built->close(), SC_FILE_ERROR);

    EXPECT_EQ(addLine(*builder(), 0), SC_OK) << "destroyed open: finished with zeros";
    EXPECT_EQ(readFileBytes(base_ + ".raw"), layout(GetParam(), 1));

    base_ = dir_.file("cancelled");
    built = builder();
    ASSERT_EQ(addLine(*built, 0), SC_OK);
    EXPECT_EQ(built->cancel(), SC_OK);
    EXPECT_EQ(built->cancel(), SC_FILE_ERROR);
    EXPECT_EQ(addLine(*built, 1), SC_FILE_ERROR);
    built.reset();
    EXPECT_FALSE(fileExists(base_ + ".rpl") || fileExists(base_ + ".raw"));
}

INSTANTIATE_TEST_SUITE_P(BothOrders, RawCubes, testing::Values(kByImage, kByVector));

TEST(RawOpener, RefusesMissingOrShortDataFilesWithoutCreatingAny) {
    TempDir dir;
    const std::string base = dir.file("cube");
    writeRawCube(base, 2, 2, 3, kByVector, distinctValue);
    EXPECT_TRUE(SCRawIO::openSCRawFile(base));
    fs::resize_file(base + ".raw", 2 * 2 * 3 * 4 - 1);
    EXPECT_FALSE(SCRawIO::openSCRawFile(base));
    fs::remove(base + ".raw");
    EXPECT_FALSE(SCRawIO::openSCRawFile(base));
    EXPECT_FALSE(fileExists(base + ".raw"));
    writeRawCube(base, 2, 2, 3, kByVector, distinctValue);
    writeFileText(base + ".rpl", rplText(4294967295u, 4294967295u, 4294967295u, kByImage));
    EXPECT_FALSE(SCRawIO::openSCRawFile(base));
    // A zero dimension: a cube without values, whose other claims must cost nothing.
    writeFileText(base + ".rpl", rplText(4294967295u, 0, 1u << 20, kByVector));
    EXPECT_FALSE(SCRawIO::openSCRawFile(base));
    EXPECT_EQ(RawToSCD::encode(base, dir.file("converted")), SC_FILE_ERROR);
    EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"cube.rpl", "cube.raw"}));
    fs::remove(base + ".raw");
    ASSERT_EQ(mkfifo((base + ".raw").c_str(), 0600), 0);
    writeFileText(base + ".rpl", rplText(2, 2, 3, kByVector));
    EXPECT_FALSE(SCRawIO::openSCRawFile(base)) << "a FIFO is refused without blocking";
}

TEST(RawImageBuilder, StartsAZeroFilledFileWritesNothingForZeroRowsAndSumsItsLines) {
    TempDir dir;
    const std::string data = dir.file("cube.raw");
    const Bytes zeros(kWidth * kHeight * kDepth * 4, 0), ones(zeros.size(), 0xFF);
    auto built =
        SCRawIO::getBuilder(dir.file("cube"), SCRawHeader(kWidth, kHeight, kDepth, kByImage));
    EXPECT_EQ(readFileBytes(data), zeros);
    writeFileBytes(data, ones);  // shows any write
    ASSERT_EQ(addLine(*built, 0, [](unsigned, unsigned, unsigned) { return 0u; }), SC_OK);
    EXPECT_EQ(readFileBytes(data), ones);
    writeFileBytes(data, zeros);
    ASSERT_EQ(
        addLine(*built, 1, [](unsigned x, unsigned, unsigned c) { return 30000u + x + 1000 * c; }),
        SC_OK);
    Counts roi(kWidth * kHeight, 7);
    ASSERT_EQ(built->computeRoiImage(1, 3, roi.data()), SC_OK);
    EXPECT_EQ(roi, (Counts{0, 0, 0, 0, 30464, 30467, 30470, 30473, 0, 0, 0, 0})) << "wrapped sums";
    EXPECT_EQ(built->computeRoiImage(3, 3, roi.data()), SC_OUT_OF_RANGE);
    built = SCRawIO::getBuilder(dir.file("vector"), SCRawHeader(1, 1, 2, kByVector));
    EXPECT_EQ(built->computeRoiImage(0, 1, roi.data()), SC_OUT_OF_RANGE) << "stored by vector";
}

TEST(SaveSCCube, WritesAnyCubesScaledCountsAsLow16BitsByImageAnd32BitsByVector) {
    TempDir dir;
    MemoryCube cube(2, 1, 2, [](unsigned x, unsigned, unsigned c) {
        return static_cast<unsigned short>(x == 0 ? 40000 : 3 + c);
    });
    cube.setFactor(2.0f);
    for (const Format format : {kByImage, kByVector}) {
        ASSERT_EQ(SCRawIO::saveSCCube(dir.file("cube"), cube, format), SC_OK);
        EXPECT_EQ(readFileBytes(dir.file("cube.raw")),
                  rawDataBytes(2, 1, 2, format, [&](unsigned x, unsigned, unsigned c) {
                      return x != 0 ? 6 + 2 * c : format == kByImage ? 80000u - 65536 : 80000u;
                  }));
    }
}

}  // namespace

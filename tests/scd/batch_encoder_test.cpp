#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "sc_api/raw_to_scd.h"
#include "sc_api/scd.h"
#include "scd/raw_file_spectrum_reader.h"
#include "scd/scd_header.h"
#include "support/raw_cube_files.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Names = std::set<std::string>;

// Values above 65535 too, so that only their low 16 bits may reach the SCD cube.
std::uint32_t wideValue(unsigned x, unsigned y, unsigned c) {
    return c % 3 == 0 ? 0 : 70000u * (c % 2) + x * 11 + y * 3 + c;
}

ReferenceCube low16Cube(unsigned width, unsigned height, unsigned depth) {
    return makeReferenceCube(width, height, depth, height, [](unsigned x, unsigned y, unsigned c) {
        return static_cast<unsigned short>(wideValue(x, y, c));
    });
}

SCDHeader readHeader(const std::string& base) {
    std::ifstream in(base + ".scdh", std::ios::binary);
    SCDHeader header;
    EXPECT_EQ(header.read(in), SC_OK);
    return header;
}

class RawToSCDTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string raw = dir.file("raw");
    std::string scd = dir.file("scd");
};

TEST_F(RawToSCDTest, AVectorOrderedCubeBecomesTheSameSCDCube) {
    writeRawCube(raw, 4, 3, 5, SCRawHeader::RECORD_BY_VECTOR, wideValue);
    ASSERT_EQ(RawToSCD::encode(raw, scd), SC_OK);
    const SCDHeader header = readHeader(scd);
    EXPECT_EQ(header.acquiredLines(), 3u);
    EXPECT_EQ(header.spectrumOffsets().size(), 12u);
    EXPECT_EQ(header.imageOffsets().size(), 5u);
    EXPECT_EQ(header.factor(), 1.0f);
    ASSERT_TRUE(writeReferenceSCD(dir.file("reference"), low16Cube(4, 3, 5)));
    EXPECT_TRUE(sameSCDFiles(scd, dir.file("reference")));
}

TEST_F(RawToSCDTest, AnImageOrderedCubeGivesTheFilesOfItsVectorOrderedTwin) {
    writeRawCube(raw, 37, 41, 23, SCRawHeader::RECORD_BY_IMAGE, wideValue);
    writeRawCube(dir.file("twin"), 37, 41, 23, SCRawHeader::RECORD_BY_VECTOR, wideValue);
    ASSERT_EQ(RawToSCD::encode(raw, scd), SC_OK);
    ASSERT_EQ(RawToSCD::encode(dir.file("twin"), dir.file("twin_scd")), SC_OK);
    EXPECT_TRUE(sameSCDFiles(scd, dir.file("twin_scd")));
    ASSERT_TRUE(writeReferenceSCD(dir.file("reference"), low16Cube(37, 41, 23)));
    EXPECT_TRUE(sameSCDFiles(scd, dir.file("reference")));
    auto opened = openSCDCube(scd);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(readsExactly(*opened, low16Cube(37, 41, 23)));
}

TEST_F(RawToSCDTest, LeavesNoTemporaryFile) {
    writeRawCube(raw, 4, 3, 5, SCRawHeader::RECORD_BY_VECTOR, wideValue);
    ASSERT_EQ(RawToSCD::encode(raw, scd), SC_OK);
    EXPECT_EQ(filesIn(dir.path()),
              (Names{"raw.rpl", "raw.raw", "scd.scdh", "scd.scds", "scd.scdi"}));
}

TEST_F(RawToSCDTest, AMissingOrShortDataFileIsRefusedAndNothingCreated) {
    writeFileText(raw + ".rpl", rplText(4, 3, 5, SCRawHeader::RECORD_BY_VECTOR));
    EXPECT_EQ(RawToSCD::encode(raw, scd), SC_FILE_ERROR);
    EXPECT_EQ(filesIn(dir.path()), Names{"raw.rpl"});
    writeFileBytes(raw + ".raw", std::vector<unsigned char>(4 * 3 * 5 * 4 - 1));
    EXPECT_EQ(RawToSCD::encode(raw, scd), SC_FILE_ERROR);
    EXPECT_EQ(filesIn(dir.path()), (Names{"raw.rpl", "raw.raw"}));
}

TEST_F(RawToSCDTest, AMissingOrRefusedHeaderIsRefusedAndNothingCreated) {
    EXPECT_EQ(RawToSCD::encode(raw, scd), SC_FILE_ERROR);
    std::string text = rplText(4, 3, 5, SCRawHeader::RECORD_BY_VECTOR);
    text.replace(text.find("data-length\t4"), 13, "data-length\t2");
    writeFileText(raw + ".rpl", text);
    writeFileBytes(raw + ".raw", std::vector<unsigned char>(4 * 3 * 5 * 4));
    EXPECT_EQ(RawToSCD::encode(raw, scd), SC_FILE_ERROR);
    EXPECT_EQ(filesIn(dir.path()), (Names{"raw.rpl", "raw.raw"}));
}

// Every spectrum of the raw cube `base`, read through reads of the given sizes in turn.
std::vector<unsigned short> spectraRead(const std::string& base, SCRawHeader::StorageFormat format,
                                        std::uint64_t windowValues,
                                        const std::vector<unsigned>& readSizes) {
    SCRawFileSpectrumReader reader(windowValues);
    reader.header() = SCRawHeader(7, 5, 6, format);
    EXPECT_TRUE(reader.open(base + ".raw"));
    std::vector<unsigned short> spectra;
    for (std::size_t i = 0;; ++i) {
        const unsigned count = readSizes[i % readSizes.size()];
        std::vector<unsigned short> buffer(count * 6);
        const int got = reader.read(buffer.data(), count);
        EXPECT_GE(got, 0);
        if (got <= 0) {
            break;
        }
        spectra.insert(spectra.end(), buffer.begin(), buffer.begin() + got * 6);
    }
    EXPECT_TRUE(reader.rewind());
    std::vector<unsigned short> again(35 * 6);
    EXPECT_EQ(reader.read(again.data(), 40), 35);
    EXPECT_EQ(again, spectra);
    return spectra;
}

TEST(SCRawFileSpectrumReader, DeliversSpectraInPixelOrderWhateverTheStorageOrder) {
    TempDir dir;
    writeRawCube(dir.file("vector"), 7, 5, 6, SCRawHeader::RECORD_BY_VECTOR, wideValue);
    writeRawCube(dir.file("image"), 7, 5, 6, SCRawHeader::RECORD_BY_IMAGE, wideValue);
    const std::vector<unsigned short> expected = low16Cube(7, 5, 6).values;
    const std::vector<unsigned> readSizes = {1, 2, 5, 7, 3, 11};
    EXPECT_EQ(spectraRead(dir.file("vector"), SCRawHeader::RECORD_BY_VECTOR, 0, readSizes),
              expected);
    // Windows of 3 spectra: reads start and end inside windows and span several.
    EXPECT_EQ(spectraRead(dir.file("image"), SCRawHeader::RECORD_BY_IMAGE, 18, readSizes),
              expected);
    EXPECT_EQ(spectraRead(dir.file("image"), SCRawHeader::RECORD_BY_IMAGE, 1, readSizes), expected);
}

TEST(SCRawFileSpectrumReader, StopsAtTheLastPixelOfALongerFile) {
    TempDir dir;
    const std::string base = dir.file("vector");
    std::vector<unsigned char> bytes =
        rawDataBytes(7, 5, 6, SCRawHeader::RECORD_BY_VECTOR, wideValue);
    bytes.resize(bytes.size() + 6 * 4 * 3, 0x11);
    writeFileBytes(base + ".raw", bytes);
    EXPECT_EQ(spectraRead(base, SCRawHeader::RECORD_BY_VECTOR, 0, {16}), low16Cube(7, 5, 6).values);
}

class SCDEncodeTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string base = dir.file("cube");
};

TEST_F(SCDEncodeTest, ReadsTheSourceInBlocksOf32LinesThenRewindsIt) {
    const ReferenceCube cube = randomCube(CubeKind::kSparse, 3, 40, 6, 40, 1);
    MemorySpectrumReader reader(cube);
    ASSERT_EQ(SCD::encode(reader, base), SC_OK);
    ASSERT_GE(reader.requestedCounts.size(), 2u);
    EXPECT_EQ(reader.requestedCounts[0], 32u * 3);
    EXPECT_EQ(reader.requestedCounts[1], 8u * 3);
    EXPECT_EQ(reader.rewinds, 1);
    ASSERT_TRUE(writeReferenceSCD(dir.file("reference"), cube));
    EXPECT_TRUE(sameSCDFiles(base, dir.file("reference")));
}

TEST_F(SCDEncodeTest, AClosedSourceIsRefusedAndNothingCreated) {
    const ReferenceCube cube = randomCube(CubeKind::kSparse, 3, 4, 6, 4, 2);
    MemorySpectrumReader reader(cube);
    reader.setOpen(false);
    EXPECT_EQ(SCD::encode(reader, base), SC_FILE_ERROR);
    EXPECT_TRUE(reader.requestedCounts.empty());
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

TEST_F(SCDEncodeTest, ACubeInADirectoryThatDoesNotExistIsRefusedUnread) {
    const ReferenceCube cube = randomCube(CubeKind::kSparse, 3, 4, 6, 4, 2);
    MemorySpectrumReader reader(cube);
    EXPECT_EQ(SCD::encode(reader, dir.file("missing/cube")), SC_FILE_ERROR);
    EXPECT_TRUE(reader.requestedCounts.empty());
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

// A source that ends inside line 2 of 5: lines 0 and 1 are stored, the spectra of the others
// keep offset 0 and the images read zeros there.
TEST_F(SCDEncodeTest, ASourceEndingInsideALineStoresTheWholeLinesBeforeIt) {
    const ReferenceCube cube = randomCube(CubeKind::kRandomRuns, 4, 5, 300, 5, 3);
    MemorySpectrumReader reader(cube);
    reader.endAfter(2 * 4 + 3);
    ASSERT_EQ(SCD::encode(reader, base), SC_OK);
    const SCDHeader header = readHeader(base);
    EXPECT_EQ(header.acquiredLines(), 5u);
    ASSERT_EQ(header.spectrumOffsets().size(), 20u);
    EXPECT_TRUE(std::all_of(header.spectrumOffsets().begin() + 8, header.spectrumOffsets().end(),
                            [](std::uint64_t offset) { return offset == 0; }));
    ReferenceCube twoLines = cube;
    twoLines.acquiredLines = 2;
    twoLines.values.resize(2 * 4 * 300);
    auto opened = openSCDCube(base);
    ASSERT_TRUE(opened);
    std::vector<unsigned short> images(4 * 5 * 300);
    ASSERT_EQ(opened->readImages(0, 300, images.data()), SC_OK);
    for (unsigned c = 0; c < 300; ++c) {
        ASSERT_TRUE(std::equal(images.begin() + c * 20, images.begin() + (c + 1) * 20,
                               twoLines.image(c).begin()))
            << c;
    }
    std::vector<unsigned short> line(4 * 300);
    ASSERT_EQ(opened->readSpectrums(0, 1, 4, line.data()), SC_OK);
    EXPECT_TRUE(std::equal(line.begin(), line.end(), cube.values.begin() + 4 * 300));
}

TEST_F(SCDEncodeTest, AFailingSourceEndsTheCountingPass) {
    const ReferenceCube cube = randomCube(CubeKind::kSparse, 2, 70, 5, 70, 4);
    MemorySpectrumReader reader(cube);
    reader.failFromRead(1);
    ASSERT_EQ(SCD::encode(reader, base), SC_OK);
    const SCDHeader header = readHeader(base);
    EXPECT_EQ(header.spectrumOffsets().size(), 140u);
    EXPECT_EQ(filesIn(dir.path()), (Names{"cube.scdh", "cube.scds", "cube.scdi"}));
}

TEST_F(SCDEncodeTest, StoresTheFactorAndAcquiredLinesOfTheSource) {
    const ReferenceCube cube = randomCube(CubeKind::kDense, 5, 8, 7, 3, 5, 0.125f);
    MemorySpectrumReader reader(cube);
    ASSERT_EQ(SCD::encode(reader, base), SC_OK);
    const SCDHeader header = readHeader(base);
    EXPECT_EQ(header.factor(), 0.125f);
    EXPECT_EQ(header.acquiredLines(), 3u);
    ASSERT_TRUE(writeReferenceSCD(dir.file("reference"), cube));
    EXPECT_TRUE(sameSCDFiles(base, dir.file("reference")));
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "sc_api/scd.h"
#include "scd/scd_header.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Names = std::set<std::string>;
using Values = std::vector<unsigned short>;

const Names kCubeFiles = {"cube.scdh", "cube.scds", "cube.scdi"};
const Names kTemporaryFiles = {"cube__tmp_spectrum_file", "cube__tmp_image_file.raw"};

SCDHeader readHeader(const std::string& base) {
    std::ifstream in(base + ".scdh", std::ios::binary);
    SCDHeader header;
    EXPECT_EQ(header.read(in), SC_OK);
    return header;
}

class SCDBuilderTest : public ::testing::Test {
  protected:
    SharedPtr<SCFileBuilder, SCDeleteFileBuilder> makeBuilder(const ReferenceCube& cube) {
        return SCD::getBuilder(base, cube.width, cube.height, cube.depth, cube.factor);
    }

    // Adds lines first ... first + count - 1 of the cube.
    void addLines(SCFileBuilder& builder, const ReferenceCube& cube, unsigned first,
                  unsigned count) {
        const std::size_t lineValues = std::size_t{cube.width} * cube.depth;
        for (unsigned y = first; y < first + count; ++y) {
            ASSERT_EQ(builder.addSpectrumLine(cube.values.data() + y * lineValues), SC_OK);
        }
    }

    TempDir dir;
    std::string base = dir.file("cube");
    ReferenceCube cube = randomCube(CubeKind::kRandomRuns, 5, 4, 30, 4, 77, 0.25f);
};

TEST_F(SCDBuilderTest, OneLineOfThreeByTwoPixelsStoresOneLineAndZeroImageTails) {
    const ReferenceCube oneLine = randomCube(CubeKind::kDense, 3, 2, 4, 1, 5);
    ASSERT_TRUE(buildWithBuilder(base, oneLine));
    const SCDHeader header = readHeader(base);
    EXPECT_EQ(header.acquiredLines(), 1u);
    EXPECT_EQ(header.spectrumOffsets().size(), 3u);
    EXPECT_EQ(header.imageOffsets().size(), 4u);
    auto opened = openSCDCube(base);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(readsExactly(*opened, oneLine));
}

TEST_F(SCDBuilderTest, ACubeClosedWithoutLinesHoldsZeroImagesOnly) {
    auto builder = SCD::getBuilder(base, 300, 2, 3, 1.0f);
    ASSERT_TRUE(builder);
    ASSERT_EQ(builder->close(), SC_OK);
    const SCDHeader header = readHeader(base);
    EXPECT_EQ(header.acquiredLines(), 0u);
    EXPECT_TRUE(header.spectrumOffsets().empty());
    EXPECT_EQ(fileSize(base + ".scds"), 0u);
    // Each channel image is 600 zeros: (255, 0) twice and (90, 0).
    ASSERT_EQ(header.codes().size(), 2u);
    EXPECT_EQ(header.codes().begin()->first, SCSymbol(90, 0));
    EXPECT_EQ(header.codes().rbegin()->first, SCSymbol(255, 0));
    auto opened = openSCDCube(base);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(readsExactly(*opened, makeReferenceCube(300, 2, 3, 0, {})));
}

TEST_F(SCDBuilderTest, CloseLeavesTheThreeCubeFilesAndNoTemporaryFile) {
    auto builder = makeBuilder(cube);
    ASSERT_TRUE(builder);
    EXPECT_EQ(filesIn(dir.path()), kTemporaryFiles);
    addLines(*builder, cube, 0, 4);
    EXPECT_EQ(builder->close(), SC_OK);
    EXPECT_FALSE(builder->isOpen());
    EXPECT_EQ(filesIn(dir.path()), kCubeFiles);
}

TEST_F(SCDBuilderTest, CancelRemovesTheTemporaryFilesAndWritesNoCube) {
    auto builder = makeBuilder(cube);
    ASSERT_TRUE(builder);
    addLines(*builder, cube, 0, 2);
    EXPECT_EQ(builder->cancel(), SC_OK);
    EXPECT_FALSE(builder->isOpen());
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

TEST_F(SCDBuilderTest, ABuilderDestroyedWithoutCloseLeavesItsTemporaryFilesOnly) {
    {
        auto builder = makeBuilder(cube);
        ASSERT_TRUE(builder);
        addLines(*builder, cube, 0, 2);
    }
    EXPECT_EQ(filesIn(dir.path()), kTemporaryFiles);
    EXPECT_EQ(fileSize(base + "__tmp_spectrum_file"), 2u * 5 * 30 * 2);
}

TEST_F(SCDBuilderTest, AFinishedBuilderRefusesEveryCallAndTouchesNoFile) {
    auto builder = makeBuilder(cube);
    ASSERT_TRUE(builder);
    addLines(*builder, cube, 0, 4);
    ASSERT_EQ(builder->close(), SC_OK);
    const std::vector<unsigned char> spectra = readFileBytes(base + ".scds");
    Values roi(20);
    EXPECT_EQ(builder->addSpectrumLine(cube.values.data()), SC_FILE_ERROR);
    EXPECT_EQ(builder->computeRoiImage(0, 1, roi.data()), SC_FILE_ERROR);
    EXPECT_EQ(builder->close(), SC_FILE_ERROR);
    EXPECT_EQ(builder->cancel(), SC_FILE_ERROR);
    EXPECT_EQ(filesIn(dir.path()), kCubeFiles);
    EXPECT_EQ(readFileBytes(base + ".scds"), spectra);
}

TEST_F(SCDBuilderTest, ALineBeyondTheHeightIsRefusedWithoutTouchingAFile) {
    auto builder = makeBuilder(cube);
    ASSERT_TRUE(builder);
    addLines(*builder, cube, 0, 4);
    const std::vector<unsigned char> spectra = readFileBytes(base + "__tmp_spectrum_file");
    const std::vector<unsigned char> images = readFileBytes(base + "__tmp_image_file.raw");
    EXPECT_EQ(builder->addSpectrumLine(cube.values.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(readFileBytes(base + "__tmp_spectrum_file"), spectra);
    EXPECT_EQ(readFileBytes(base + "__tmp_image_file.raw"), images);
    ASSERT_EQ(builder->close(), SC_OK);
    ASSERT_TRUE(writeReferenceSCD(dir.file("reference"), cube));
    EXPECT_TRUE(sameSCDFiles(base, dir.file("reference")));
}

TEST_F(SCDBuilderTest, OldFilesOfTheSameNamesLeaveNoTrace) {
    const std::vector<unsigned char> garbage(100000, 0xA5);
    for (const char* name : {"cube.scdh", "cube.scds", "cube.scdi", "cube__tmp_spectrum_file",
                             "cube__tmp_image_file.raw"}) {
        writeFileBytes(dir.file(name), garbage);
    }
    ASSERT_TRUE(buildWithBuilder(base, cube));
    ASSERT_TRUE(writeReferenceSCD(dir.file("reference"), cube));
    EXPECT_TRUE(sameSCDFiles(base, dir.file("reference")));
}

TEST_F(SCDBuilderTest, RoiImageSumsTheLinesAddedSoFarAndZeroElsewhere) {
    auto builder = makeBuilder(cube);
    ASSERT_TRUE(builder);
    addLines(*builder, cube, 0, 2);
    Values roi(20, 0xFFFF);
    ASSERT_EQ(builder->computeRoiImage(3, 20, roi.data()), SC_OK);
    for (unsigned y = 0; y < 4; ++y) {
        for (unsigned x = 0; x < 5; ++x) {
            std::uint64_t sum = 0;
            for (unsigned c = 3; c < 23 && y < 2; ++c) {
                sum += cube.count(x, y, c);
            }
            const auto expected = static_cast<unsigned short>(
                static_cast<std::int64_t>(static_cast<double>(sum) * cube.factor));
            EXPECT_EQ(roi[y * 5 + x], expected) << x << ", " << y;
        }
    }
}

TEST_F(SCDBuilderTest, RoiImageOfChannelsOutsideTheCubeIsRefused) {
    auto builder = makeBuilder(cube);
    ASSERT_TRUE(builder);
    Values roi(20);
    EXPECT_EQ(builder->computeRoiImage(25, 6, roi.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(builder->computeRoiImage(0xFFFFFFFFu, 2, roi.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(builder->computeRoiImage(25, 5, roi.data()), SC_OK);
}

TEST_F(SCDBuilderTest, RoiImageAfterCancelCreatesNoFile) {
    auto builder = makeBuilder(cube);
    ASSERT_TRUE(builder);
    ASSERT_EQ(builder->cancel(), SC_OK);
    Values roi(20);
    EXPECT_EQ(builder->computeRoiImage(0, 1, roi.data()), SC_FILE_ERROR);
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

TEST_F(SCDBuilderTest, NoBuilderForADirectoryThatDoesNotExist) {
    EXPECT_FALSE(SCD::getBuilder(dir.file("missing/cube"), 4, 4, 4, 1.0f));
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

}  // namespace

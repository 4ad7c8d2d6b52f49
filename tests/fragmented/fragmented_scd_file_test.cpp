#include "fragmented/fragmented_scd_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <thread>

#include "sc_api/sc_spectrum.h"
#include "support/fragmented_cube_files.h"
#include "support/guarded_buffer.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

class FragmentedSCDFileTest : public ::testing::Test {
  protected:
    std::unique_ptr<SCFile> written(const FragmentedCubeModel& model) {
        EXPECT_TRUE(writeFragmentedCube(base, model));
        return openSCDCube(base);
    }

    TempDir dir;
    std::string base = dir.file("cube");
};

}  // namespace

TEST_F(FragmentedSCDFileTest, AreasReadAsOneCubeFromSeveralThreadsAtOnce) {
    // (4, 3) is area 1's in the map but area 2's (not stored there: zeros) in the images.
    const FragmentedCubeModel overlap = overlappingAreas();
    ASSERT_TRUE(overlap.areaOf(4, 3) == 1 && overlap.imageCount(4, 3, 0) == 0);
    ASSERT_TRUE(overlap.areaOf(4, 1) == 2 && overlap.areaOf(9, 0) == 0);
    const FragmentedCubeModel noArea{4, 3, 5, 1.0f, {}};
    for (const FragmentedCubeModel& model : {twoAreasSideBySide(), overlap, noArea}) {
        auto cube = written(model);
        ASSERT_TRUE(cube);
        std::vector<std::jthread> readers(3);
        for (std::jthread& reader : readers) {
            reader = std::jthread([&] { EXPECT_TRUE(readsModel(*cube, model)); });
        }
    }
}

// Primitive reads deliver the stored counts; generic reads scale them once by the map's factor.
TEST_F(FragmentedSCDFileTest, RunAcrossTheSeamReadsBothAreasAndScalingUsesTheMapFactor) {
    FragmentedCubeModel model = twoAreasSideBySide();
    model.factor = 3.0f;  // the area cubes' factor, which reads must not use
    ASSERT_TRUE(writeFragmentedCube(base, model));
    overwriteFileBytes(base + ".scdh", 28, littleEndian32(0x40000000));  // map factor 2
    model.factor = 2.0f;
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    GuardedBuffer run(4 * 40);
    ASSERT_EQ(cube->readSpectrums(8, 0, 4, run.data()), SC_OK);
    for (unsigned k = 0; k < 4 * 40; ++k) {
        EXPECT_EQ(run.data()[k], model.spectrumCount(8 + k / 40, 0, k % 40)) << k;
    }
    EXPECT_TRUE(run.guardsIntact());
    std::vector<unsigned short> roi(100);
    ASSERT_EQ(cube->computeRoiImage(0, 40, roi.data()), SC_OK);
    EXPECT_EQ(roi, model.roiImage(0, 40));
    SCAllocatedSpectrum spectrum(40);
    ASSERT_EQ(cube->getSpectrum(12, 3, spectrum), SC_OK);
    EXPECT_FLOAT_EQ(spectrum[7], 2.0f * model.spectrumCount(12, 3, 7));
}

TEST_F(FragmentedSCDFileTest, RequestsOutsideTheCubeAndReadsAfterCloseAreRefused) {
    auto cube = written(twoAreasSideBySide());
    ASSERT_TRUE(cube);
    GuardedBuffer buffer(4000);
    unsigned short* out = buffer.data();
    EXPECT_EQ(cube->readSpectrums(20, 0, 1, out), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readSpectrums(0, 5, 1, out), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readSpectrums(19, 4, 2, out), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readSpectrumsAt({{0, 0}, {3, 5}}, {out, out + 40}), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readSpectrumsAt({{0, 0}, {1, 0}}, {out}), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readImages(39, 2, out), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readImagesAt({0, 40}, {out, out + 100}), SC_OUT_OF_RANGE);
    ASSERT_EQ(cube->close(), SC_OK);
    EXPECT_EQ(cube->close(), SC_FILE_ERROR);
    EXPECT_EQ(cube->readSpectrums(0, 0, 1, out), SC_FILE_ERROR);
    EXPECT_EQ(cube->readSpectrumsAt({{0, 0}}, {out}), SC_FILE_ERROR);
    EXPECT_EQ(cube->readImages(0, 1, out), SC_FILE_ERROR);
    EXPECT_EQ(cube->readImagesAt({0}, {out}), SC_FILE_ERROR);
    EXPECT_TRUE(buffer.holdsOnly(GuardedBuffer::kUntouched));
}

TEST_F(FragmentedSCDFileTest, DamagedOrIncompleteCubesDoNotOpen) {
    const FragmentedCubeModel model = overlappingAreas();  // 10 x 5, areas at (0, 0) and (3, 1)
    const std::string map = fragmentedHeaderBytes(model);
    const std::pair<std::size_t, std::uint32_t> damages[] = {
        {32 + 4 * 49, 3},                // pixel (9, 4) given to an area above the number of areas
        {32 + 4 * 49, 2},                // pixel (9, 4) given to an area not covering it
        {32 + 4 * 50 + 16, 5},           // area 2 leaving the cube on the right
        {32 + 4 * 50 + 20, 0xFFFFFFF0},  // area 2 far below the cube
    };
    ASSERT_TRUE(written(model));
    for (const auto& [offset, value] : damages) {
        writeFileText(base + ".scdh", map);
        overwriteFileBytes(base + ".scdh", offset, littleEndian32(value));
        EXPECT_FALSE(openSCDCube(base)) << offset << ": " << value;
    }
    writeFileText(base + ".scdh", map);
    ASSERT_TRUE(writeReferenceSCD(base + ".2", makeReferenceCube(6, 3, 2, 2, variedCount)));
    EXPECT_FALSE(openSCDCube(base)) << "area cube of another depth";
    std::remove((base + ".2.scdh").c_str());
    EXPECT_FALSE(openSCDCube(base)) << "area cube missing";
}

#include "fragmented/fragmented_scd_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <thread>

#include "sc_api/sc_spectrum.h"
#include "sc_api/scd.h"
#include "support/codec_bits.h"
#include "support/fragmented_cube_files.h"
#include "support/guarded_buffer.h"
#include "support/memory_cube.h"
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

    // The map file with one 32-bit field replaced.
    void patchMap(std::size_t offset, std::uint32_t value) {
        overwriteFileBytes(base + ".scdh", offset, littleEndian32(value));
    }

    TempDir dir;
    std::string base = dir.file("cube");
};

FragmentedCubeModel noArea() {
    FragmentedCubeModel model;
    model.width = 4;
    model.height = 3;
    model.depth = 5;
    return model;
}

std::size_t gridOffset(const FragmentedCubeModel& model, unsigned x, unsigned y) {
    return 32 + 4 * (std::size_t{y} * model.width + x);
}

std::size_t originOffset(const FragmentedCubeModel& model, unsigned area) {
    return 32 + 4 * std::size_t{model.width} * model.height + 8 * area;
}

}  // namespace

TEST_F(FragmentedSCDFileTest, AreasSideBySideReadAsOneCube) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    auto cube = written(model);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, model));
    EXPECT_EQ(cube->version(), 1u);
}

TEST_F(FragmentedSCDFileTest, RunAcrossTheSeamTakesEachPixelFromItsArea) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    auto cube = written(model);
    ASSERT_TRUE(cube);
    const unsigned d = model.depth;
    GuardedBuffer run(4 * d);
    ASSERT_EQ(cube->readSpectrums(8, 0, 4, run.data()), SC_OK);
    EXPECT_EQ(run.slice(0, d), model.areaCube(1).spectrum(8, 0));
    EXPECT_EQ(run.slice(d, d), model.areaCube(1).spectrum(9, 0));
    EXPECT_EQ(run.slice(2 * d, d), model.areaCube(2).spectrum(0, 0));
    EXPECT_EQ(run.slice(3 * d, d), model.areaCube(2).spectrum(1, 0));
    EXPECT_TRUE(run.guardsIntact());
}

TEST_F(FragmentedSCDFileTest, RunWrappingOntoTheNextLineCrossesAreas) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    auto cube = written(model);
    ASSERT_TRUE(cube);
    GuardedBuffer run(3 * model.depth);
    ASSERT_EQ(cube->readSpectrums(19, 1, 3, run.data()), SC_OK);
    EXPECT_EQ(run.slice(0, model.depth), model.spectrum(19, 1));
    EXPECT_EQ(run.slice(model.depth, model.depth), model.spectrum(0, 2));
    EXPECT_EQ(run.slice(2 * model.depth, model.depth), model.spectrum(1, 2));
}

TEST_F(FragmentedSCDFileTest, OverlapFollowsTheMapForSpectraAndTheHigherAreaForImages) {
    const FragmentedCubeModel model = overlappingAreas();
    auto cube = written(model);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, model));
    // (4, 3): area 1 in the map, area 2 (which did not store that line) in the images.
    EXPECT_EQ(model.areaOf(4, 3), 1u);
    EXPECT_EQ(model.imageCount(4, 3, 0), 0);
    EXPECT_NE(model.spectrumCount(4, 3, 0), 0);
    EXPECT_EQ(model.areaOf(4, 1), 2u);
}

TEST_F(FragmentedSCDFileTest, PixelsOfNoAreaAreNotAcquiredAndReadZero) {
    const FragmentedCubeModel model = overlappingAreas();
    auto cube = written(model);
    ASSERT_TRUE(cube);
    EXPECT_FALSE(cube->isAcquired(9, 0));
    EXPECT_FALSE(cube->isAcquired(5, 4));
    EXPECT_FALSE(cube->isAcquired(10, 0));
    EXPECT_FALSE(cube->isAcquired(0, 5));
    EXPECT_TRUE(cube->isAcquired(8, 1));

    std::int64_t pixels = -1;
    SCAllocatedSpectrum sum(model.depth);
    ASSERT_EQ(cube->computeRegionSpectrum(TextMask::full(10, 5), sum, pixels), SC_OK);
    EXPECT_EQ(pixels, 6 * 4 + 3 * 2);
}

TEST_F(FragmentedSCDFileTest, PositionsOfNoAreaAreLeftAsTheCallerHadThem) {
    const FragmentedCubeModel model = overlappingAreas();
    auto cube = written(model);
    ASSERT_TRUE(cube);
    std::vector<GuardedBuffer> spectra(3, GuardedBuffer(model.depth));
    const std::vector<SCPixelPosition> positions = {{9, 4}, {7, 2}, {1, 0}};
    ASSERT_EQ(cube->readSpectrumsAt(positions, dataPointers(spectra)), SC_OK);
    EXPECT_TRUE(spectra[0].holdsOnly(GuardedBuffer::kUntouched));
    EXPECT_EQ(spectra[1].contents(), model.spectrum(7, 2));
    EXPECT_EQ(spectra[2].contents(), model.spectrum(1, 0));

    std::vector<GuardedBuffer> images(2, GuardedBuffer(50));
    ASSERT_EQ(cube->readImagesAt({2, 0}, dataPointers(images)), SC_OK);
    const std::vector<unsigned short> image2 = images[0].contents();
    EXPECT_EQ(image2[4 * 10 + 0], GuardedBuffer::kUntouched);
    EXPECT_EQ(image2[1 * 10 + 8], model.imageCount(8, 1, 2));
    EXPECT_EQ(images[1].slice(3 * 10 + 5, 1)[0], model.imageCount(5, 3, 0));
    EXPECT_TRUE(images[0].guardsIntact() && images[1].guardsIntact());
}

TEST_F(FragmentedSCDFileTest, GenericReadsScaleByTheMapFactor) {
    FragmentedCubeModel model = twoAreasSideBySide();
    model.factor = 2.0f;
    // Area cubes of factor 1, so that only the map's factor can double the values.
    writeFragmentedCube(base, model);
    model.factor = 1.0f;
    for (unsigned i = 1; i <= 2; ++i) {
        ASSERT_TRUE(writeReferenceSCD(base + "." + std::to_string(i), model.areaCube(i)));
    }
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_FLOAT_EQ(cube->factor(), 2.0f);
    std::vector<unsigned short> roi(100);
    ASSERT_EQ(cube->computeRoiImage(0, 40, roi.data()), SC_OK);
    model.factor = 2.0f;
    EXPECT_EQ(roi, model.roiImage(0, 40));
    SCAllocatedSpectrum spectrum(40);
    ASSERT_EQ(cube->getSpectrum(12, 3, spectrum), SC_OK);
    EXPECT_FLOAT_EQ(spectrum[7], 2.0f * model.spectrumCount(12, 3, 7));
}

TEST_F(FragmentedSCDFileTest, CubeWithoutAreasOpensEmpty) {
    const FragmentedCubeModel model = noArea();
    auto cube = written(model);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, model));
    for (unsigned y = 0; y < 3; ++y) {
        for (unsigned x = 0; x < 4; ++x) {
            EXPECT_FALSE(cube->isAcquired(x, y));
        }
    }
}

TEST_F(FragmentedSCDFileTest, RequestsOutsideTheCubeAreRefusedBeforeReading) {
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
    EXPECT_TRUE(buffer.holdsOnly(GuardedBuffer::kUntouched));
    EXPECT_EQ(cube->readSpectrums(19, 4, 1, out), SC_OK);
    EXPECT_EQ(cube->readSpectrums(3, 2, 0, out + 40), SC_OK);
    EXPECT_EQ(cube->readImages(40, 0, out), SC_OK);
    EXPECT_TRUE(buffer.guardsIntact());
}

TEST_F(FragmentedSCDFileTest, ClosedCubeRefusesEveryRead) {
    auto cube = written(twoAreasSideBySide());
    ASSERT_TRUE(cube);
    EXPECT_EQ(cube->close(), SC_OK);
    EXPECT_FALSE(cube->isOpen());
    EXPECT_EQ(cube->close(), SC_FILE_ERROR);
    GuardedBuffer buffer(4000);
    unsigned short* out = buffer.data();
    EXPECT_EQ(cube->readSpectrums(0, 0, 1, out), SC_FILE_ERROR);
    EXPECT_EQ(cube->readSpectrumsAt({{0, 0}}, {out}), SC_FILE_ERROR);
    EXPECT_EQ(cube->readImages(0, 1, out), SC_FILE_ERROR);
    EXPECT_EQ(cube->readImagesAt({0}, {out}), SC_FILE_ERROR);
    EXPECT_EQ(cube->getImage(0, out), SC_FILE_ERROR);
    EXPECT_TRUE(buffer.holdsOnly(GuardedBuffer::kUntouched));
}

TEST_F(FragmentedSCDFileTest, MissingAreaCubeMakesTheWholeCubeFail) {
    ASSERT_TRUE(writeFragmentedCube(base, twoAreasSideBySide()));
    std::remove((base + ".2.scdh").c_str());
    EXPECT_FALSE(openSCDCube(base));
}

TEST_F(FragmentedSCDFileTest, DamagedMapsDoNotOpen) {
    const FragmentedCubeModel model = overlappingAreas();
    const std::string map = fragmentedHeaderBytes(model);
    struct Damage {
        const char* what;
        std::size_t offset;
        std::uint32_t value;
    };
    const Damage damages[] = {
        {"grid entry above the number of areas", gridOffset(model, 9, 4), 3},
        {"grid entry of an area not covering the pixel", gridOffset(model, 9, 4), 2},
        {"grid entry left of its area", gridOffset(model, 0, 2), 2},
        {"area leaving the cube on the right", originOffset(model, 2) + 0, 5},
        {"area leaving the cube at the bottom", originOffset(model, 1) + 4, 2},
        {"origin far outside", originOffset(model, 2) + 4, 0xFFFFFFFF},
        {"version 2", 4, 2},
        {"more areas than the file lists", 12, 3},
    };
    ASSERT_TRUE(writeFragmentedCube(base, model));
    ASSERT_TRUE(openSCDCube(base));
    for (const Damage& damage : damages) {
        writeFileText(base + ".scdh", map);
        patchMap(damage.offset, damage.value);
        EXPECT_FALSE(openSCDCube(base)) << damage.what;
    }
    writeFileText(base + ".scdh", map.substr(0, map.size() - 1));
    EXPECT_FALSE(openSCDCube(base)) << "map cut short";
}

TEST_F(FragmentedSCDFileTest, AreaCubeOfAnotherDepthDoesNotOpen) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    ASSERT_TRUE(writeFragmentedCube(base, model));
    ReferenceCube shallow = makeReferenceCube(10, 5, 39, 5, variedCount);
    ASSERT_TRUE(writeReferenceSCD(base + ".2", shallow));
    EXPECT_FALSE(openSCDCube(base));
}

TEST_F(FragmentedSCDFileTest, SmallerAreaCubeIsReadWhereTheMapPointsIntoIt) {
    FragmentedCubeModel model = twoAreasSideBySide();
    model.areas[1] = {Rect{10, 0, 4, 2}, 2};
    auto cube = written(model);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsModel(*cube, model));
}

TEST_F(FragmentedSCDFileTest, ReadsFromSeveralThreadsAtOnceAgree) {
    const FragmentedCubeModel model = overlappingAreas();
    auto cube = written(model);
    ASSERT_TRUE(cube);
    std::vector<std::thread> readers;
    std::vector<int> matches(4, 0);
    for (unsigned t = 0; t < matches.size(); ++t) {
        readers.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) {
                matches[t] += readsModel(*cube, model) ? 1 : 0;
            }
        });
    }
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(matches, std::vector<int>(4, 5));
}

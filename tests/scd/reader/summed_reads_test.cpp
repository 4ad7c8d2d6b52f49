// The SCD reader's own ROI images, sub-ROI images and region spectra (streams summed straight
// into per-worker sums) and its inline small reads, against the generic reads of SCFile that
// they replace, on random cubes of several shapes, factors and channel ranges.
#include <gtest/gtest.h>

#include <random>

#include "sc_api/sc_spectrum.h"
#include "support/memory_cube.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

struct Shape {
    CubeKind kind;
    unsigned width, height, depth, acquiredLines;
    float factor;
};

const Shape kShapes[] = {
    {CubeKind::kSparse, 37, 11, 70, 9, 1.0f},  {CubeKind::kRandomRuns, 5, 3, 600, 3, 1.0f},
    {CubeKind::kDense, 9, 7, 40, 7, 0.37f},    {CubeKind::kRandomRuns, 1, 1, 1, 1, 3.0f},
    {CubeKind::kSparse, 300, 2, 3, 2, 2.5f},   {CubeKind::kDense, 13, 5, 1, 5, 1.0f},
    {CubeKind::kRandomRuns, 6, 8, 33, 0, 1.0f}};

// A random mask of the given size, about half selected.
TextMask randomMask(std::mt19937& random, unsigned width, unsigned height) {
    std::vector<std::string> rows(height, std::string(width, '.'));
    for (std::string& row : rows) {
        for (char& pixel : row) {
            pixel = random() % 2 == 0 ? '#' : '.';
        }
    }
    return TextMask(rows);
}

class SummedReadsTest : public ::testing::TestWithParam<Shape> {
  protected:
    void SetUp() override {
        const Shape& shape = GetParam();
        cube = randomCube(shape.kind, shape.width, shape.height, shape.depth, shape.acquiredLines,
                          41, shape.factor);
        ASSERT_TRUE(writeReferenceSCD(base, cube));
        file = openSCDCube(base);
        ASSERT_TRUE(file && file->isOpen());
    }

    TempDir dir;
    std::string base = dir.file("cube");
    ReferenceCube cube;
    std::unique_ptr<SCFile> file;
};

}  // namespace

TEST_P(SummedReadsTest, RoiImagesAreThoseOfTheGenericRead) {
    const unsigned d = cube.depth;
    const std::size_t pixels = std::size_t{cube.width} * cube.height;
    std::mt19937 random(3);
    auto below = [&random](unsigned n) { return static_cast<unsigned>(random() % n); };
    for (int round = 0; round < 12; ++round) {
        // All channels first, then random ranges (empty ones included).
        const unsigned from = round == 0 ? 0 : below(d);
        const unsigned n = round == 0 ? d : below(d - from + 1);
        std::vector<unsigned short> fast(pixels, 1), generic(pixels, 2);
        ASSERT_EQ(file->computeRoiImage(from, n, fast.data()), SC_OK);
        ASSERT_EQ(file->SCFile::computeRoiImage(from, n, generic.data()), SC_OK);
        EXPECT_EQ(fast, generic) << "channels " << from << " + " << n;

        const unsigned x = below(cube.width);
        const unsigned y = below(cube.height);
        const Rect sub{x, y, 1 + below(cube.width - x), 1 + below(cube.height - y)};
        std::vector<unsigned short> fastSub(std::size_t{sub.width} * sub.height, 1);
        std::vector<unsigned short> genericSub(fastSub.size(), 2);
        ASSERT_EQ(file->computeSubRoiImage(from, n, sub, fastSub.data()), SC_OK);
        ASSERT_EQ(file->SCFile::computeSubRoiImage(from, n, sub, genericSub.data()), SC_OK);
        EXPECT_EQ(fastSub, genericSub);
    }
    std::vector<unsigned short> out(pixels);
    EXPECT_EQ(file->computeRoiImage(d, 1, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(file->computeSubRoiImage(0, 1, Rect{0, 0, cube.width + 1, 1}, out.data()),
              SC_OUT_OF_RANGE);
}

TEST_P(SummedReadsTest, RegionSpectraAreThoseOfTheGenericRead) {
    std::mt19937 random(5);
    for (int round = 0; round < 8; ++round) {
        const TextMask mask =
            randomMask(random, 1 + random() % (cube.width + 3), 1 + random() % (cube.height + 3));
        const int x0 = static_cast<int>(random() % (cube.width + 2)) - 2;
        const int y0 = static_cast<int>(random() % (cube.height + 2)) - 2;
        SCAllocatedSpectrum fast(cube.depth), generic(cube.depth);
        std::int64_t fastPixels = -1, genericPixels = -2;
        ASSERT_EQ(file->computeRegionSpectrum(x0, y0, mask, fast, fastPixels), SC_OK);
        ASSERT_EQ(file->SCFile::computeRegionSpectrum(x0, y0, mask, generic, genericPixels), SC_OK);
        EXPECT_EQ(fastPixels, genericPixels);
        for (unsigned c = 0; c < cube.depth; ++c) {
            ASSERT_EQ(fast[c], generic[c]) << "channel " << c;
        }
    }
}

TEST_P(SummedReadsTest, SmallReadsOnTheCallerMatchBatchedReads) {
    const unsigned d = cube.depth;
    const unsigned pixels = cube.width * cube.height;
    std::vector<unsigned short> all(std::size_t{pixels} * d);
    ASSERT_EQ(file->readSpectrums(0, 0, pixels, all.data()), SC_OK);
    for (unsigned p = 0; p < pixels; ++p) {
        std::vector<unsigned short> one(d, 9);
        ASSERT_EQ(file->readSpectrums(p % cube.width, p / cube.width, 1, one.data()), SC_OK);
        ASSERT_EQ(one, std::vector<unsigned short>(all.begin() + std::size_t{p} * d,
                                                   all.begin() + std::size_t{p + 1} * d));
        ASSERT_EQ(one, cube.spectrum(p % cube.width, p / cube.width));
    }
    for (unsigned c = 0; c < d; c += 1 + d / 5) {
        std::vector<unsigned short> image(pixels, 9);
        ASSERT_EQ(file->readImages(c, 1, image.data()), SC_OK);
        EXPECT_EQ(image, cube.image(c));
    }
}

INSTANTIATE_TEST_SUITE_P(Cubes, SummedReadsTest, ::testing::ValuesIn(kShapes));

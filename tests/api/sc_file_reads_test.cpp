// The reads every format inherits from SCFile, run over an in-memory cube that records how
// its primitives were called.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <vector>

#include "api/scaled_count.h"
#include "sc_api/sc_spectrum.h"
#include "support/memory_cube.h"

namespace {

using test_support::MemoryCube;
using test_support::TextMask;
using Image = std::vector<unsigned short>;

unsigned short distinct(unsigned x, unsigned y, unsigned c) {
    return static_cast<unsigned short>(1 + x + 10 * y + 100 * c);
}

MemoryCube::Counts constant(unsigned short count) {
    return [count](unsigned, unsigned, unsigned) { return count; };
}

// Channels first .. first+count-1 of `cube` as its counts say, image after image.
Image imagesOf(const MemoryCube& cube, unsigned first, unsigned count, const Rect& r) {
    Image images;
    for (unsigned c = first; c < first + count; ++c) {
        for (unsigned y = r.y; y < r.y + r.height; ++y) {
            for (unsigned x = r.x; x < r.x + r.width; ++x) {
                images.push_back(cube.count(x, y, c));
            }
        }
    }
    return images;
}

std::vector<float> values(const SCSpectrum& spectrum) {
    std::vector<float> result;
    for (unsigned c = 0; c < spectrum.size(); ++c) {
        result.push_back(spectrum[c]);
    }
    return result;
}

TEST(ScalingRule, KeepsTheLow16BitsOfTheTruncatedProduct) {
    EXPECT_EQ(scaleToLow16(32768, 2.0f), 0);
    EXPECT_EQ(scaleToLow16(35000, 2.0f), 4464);
    EXPECT_EQ(scaleToLow16(3, 0.5f), 1);
    EXPECT_EQ(scaleToLow16(3, -0.5f), 0xFFFF);
    // Products beyond the 64-bit range saturate; NaN counts as 0.
    EXPECT_EQ(scaleToLow16(7, std::numeric_limits<float>::infinity()), 0xFFFF);
    EXPECT_EQ(scaleToLow16(7, -std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(scaleToLow16(7, std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(ScaledReads, ApplyTheFactorToImagesSpectraAndSums) {
    MemoryCube cube(2, 1, 4, [](unsigned x, unsigned, unsigned c) {
        return static_cast<unsigned short>(x == 0 ? 35000 : 3 + c);
    });
    cube.setFactor(2.0f);
    Image image(2);
    ASSERT_EQ(cube.getImage(0, image.data()), SC_OK);
    EXPECT_EQ(image, (Image{4464, 6}));

    cube.setFactor(0.5f);
    SCAllocatedSpectrum spectrum(4);
    ASSERT_EQ(cube.getSpectrum(1, 0, spectrum), SC_OK);
    EXPECT_EQ(values(spectrum), (std::vector<float>{1.5f, 2.0f, 2.5f, 3.0f}));
}

TEST(RoiImage, WrapsSumsBeyond16BitsAfterScaling) {
    MemoryCube cube(1, 1, 5, [](unsigned, unsigned, unsigned c) {
        return static_cast<unsigned short>(c % 2 == 1 ? 40000 : 0);
    });
    unsigned short roi = 0;
    ASSERT_EQ(cube.computeRoiImage(0, 5, &roi), SC_OK);
    EXPECT_EQ(roi, 14464);
    cube.setFactor(0.5f);
    ASSERT_EQ(cube.computeRoiImage(0, 5, &roi), SC_OK);
    EXPECT_EQ(roi, 40000);
}

TEST(Batches, HoldAtMost32ChannelsOr32Pixels) {
    MemoryCube cube(11, 3, 70, constant(1));
    Image roi(33);
    ASSERT_EQ(cube.computeRoiImage(3, 33, roi.data()), SC_OK);
    EXPECT_EQ(roi, Image(33, 33));
    Image sub(40);
    ASSERT_EQ(cube.getSubImages(0, 40, Rect{1, 1, 1, 1}, sub.data()), SC_OK);
    EXPECT_EQ(cube.imageRuns, (std::vector<unsigned>{32, 1, 32, 8}));

    SCAllocatedSpectrum sum(70);
    std::int64_t pixelCount = 0;
    ASSERT_EQ(cube.computeRegionSpectrum(TextMask::full(11, 3), sum, pixelCount), SC_OK);
    EXPECT_EQ(cube.spectrumBatches, (std::vector<unsigned>{32, 1}));
    EXPECT_EQ(pixelCount, 33);
    EXPECT_FLOAT_EQ(sum[69], 33.0f);
}

TEST(RoiImage, CoversExactlyTheChannelsOfTheCube) {
    MemoryCube cube(3, 2, 4, distinct);
    Image roi(6, 5);
    ASSERT_EQ(cube.computeRoiImage(3, 1, roi.data()), SC_OK);
    EXPECT_EQ(roi, imagesOf(cube, 3, 1, Rect{0, 0, 3, 2}));
    ASSERT_EQ(cube.computeRoiImage(1, 0, roi.data()), SC_OK);
    EXPECT_EQ(roi, Image(6, 0));
    const std::size_t reads = cube.imageRuns.size();
    EXPECT_EQ(cube.computeRoiImage(3, 2, roi.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube.computeRoiImage(UINT_MAX, 2, roi.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube.computeSubRoiImage(2, 3, Rect{0, 0, 1, 1}, roi.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube.getSubImages(4, 1, Rect{0, 0, 1, 1}, roi.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube.imageRuns.size(), reads);

    MemoryCube noPixels(0, 3, 100, constant(1));
    EXPECT_EQ(noPixels.computeRoiImage(0, 100, roi.data()), SC_OK);
    EXPECT_TRUE(noPixels.imageRuns.empty());
}

TEST(Failures, OfThePrimitivesAreReturnedAtOnce) {
    MemoryCube cube(40, 1, 2, constant(1));
    cube.failFromCall(1, SC_FILE_ERROR);
    SCAllocatedSpectrum sum(2);
    sum[0] = 7.0f;
    std::int64_t pixelCount = 0;
    EXPECT_EQ(cube.computeRegionSpectrum(TextMask::full(40, 1), sum, pixelCount), SC_FILE_ERROR);
    EXPECT_EQ(pixelCount, 40);
    EXPECT_EQ(values(sum), (std::vector<float>{0.0f, 0.0f}));

    MemoryCube deep(1, 1, 100, constant(1));
    deep.failFromCall(1, SC_FORMAT_ERROR);
    unsigned short roi = 0;
    EXPECT_EQ(deep.computeRoiImage(0, 100, &roi), SC_FORMAT_ERROR);
    EXPECT_EQ(deep.imageRuns.size(), 2u);
}

TEST(RegionSpectrum, WithNegativeOffsetsSumsOnlyPixelsInsideTheCube) {
    MemoryCube cube(3, 3, 2, distinct);
    SCAllocatedSpectrum sum(2);
    std::int64_t pixelCount = 0;
    ASSERT_EQ(cube.computeRegionSpectrum(-1, -1, TextMask::full(3, 3), sum, pixelCount), SC_OK);
    EXPECT_EQ(pixelCount, 4);
    EXPECT_EQ(cube.pixelsRead, (std::vector<SCPixelPosition>{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));
    EXPECT_EQ(values(sum), (std::vector<float>{1 + 2 + 11 + 12, 101 + 102 + 111 + 112}));
}

TEST(RegionSpectrum, SkipsUnselectedUnacquiredAndOutsidePixelsFromAnyOrigin) {
    MemoryCube cube(4, 2, 1, distinct);
    cube.setUnacquired(3, 1);
    SCAllocatedSpectrum sum(1);
    std::int64_t pixelCount = 0;
    ASSERT_EQ(cube.computeRegionSpectrum(1, 0, TextMask({"#.#", ".##"}), sum, pixelCount), SC_OK);
    EXPECT_EQ(cube.pixelsRead, (std::vector<SCPixelPosition>{{1, 0}, {3, 0}, {2, 1}}));
    EXPECT_EQ(pixelCount, 3);
    EXPECT_FLOAT_EQ(sum[0], 2 + 4 + 13);

    ASSERT_EQ(cube.computeRegionSpectrum(INT_MAX, -5, TextMask::full(3, 3), sum, pixelCount),
              SC_OK);
    EXPECT_EQ(pixelCount, 0);
    EXPECT_FLOAT_EQ(sum[0], 0.0f);
    EXPECT_EQ(cube.spectrumBatches.size(), 1u);

    ASSERT_EQ(cube.computeRegionSpectrum(TextMask({"#.#", ".##"}), sum, pixelCount), SC_OK);
    EXPECT_EQ(pixelCount, 4);
    EXPECT_FLOAT_EQ(sum[0], 1 + 3 + 12 + 13);
}

TEST(Spectra, RunOnToTheFollowingRowsAndRefuseShortOutputs) {
    MemoryCube cube(3, 2, 2, distinct);
    SCAllocatedSpectrum a(2);
    SCAllocatedSpectrum b(2);
    ASSERT_EQ(cube.getSpectrums(2, 0, 2, {&a, &b}), SC_OK);
    EXPECT_EQ(values(a), (std::vector<float>{3.0f, 103.0f}));
    EXPECT_EQ(values(b), (std::vector<float>{11.0f, 111.0f}));
    EXPECT_EQ(cube.getSpectrums(2, 1, 2, {&a, &b}), SC_OUT_OF_RANGE);
    EXPECT_EQ(values(a), (std::vector<float>{3.0f, 103.0f}));

    SCAllocatedSpectrum shortOne(1);
    const std::size_t reads = cube.spectrumRuns.size();
    EXPECT_EQ(cube.getSpectrums(0, 0, 2, {&a}), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube.getSpectrums(0, 0, 2, {&a, &shortOne}), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube.getSpectrum(0, 0, shortOne), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube.spectrumRuns.size(), reads);
}

TEST(Images, OfAChannelListComeInListOrderAndStopAtAFailure) {
    MemoryCube cube(2, 2, 6, distinct);
    const Rect all{0, 0, 2, 2};
    Image images(12);
    ASSERT_EQ(cube.getImages(std::vector<unsigned>{5, 2}, images.data()), SC_OK);
    Image expected = imagesOf(cube, 5, 1, all);
    const Image second = imagesOf(cube, 2, 1, all);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(Image(images.begin(), images.begin() + 8), expected);

    const std::size_t reads = cube.imageRuns.size();
    EXPECT_EQ(cube.getImages(std::vector<unsigned>{1, 6, 2}, images.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube.imageRuns.size(), reads + 2);
}

TEST(SubImages, AreTheRectangleCutOutOfEachImage) {
    MemoryCube cube(5, 4, 40, distinct);
    const Rect r{1, 2, 3, 2};
    Image sub(6 * 3);
    ASSERT_EQ(cube.getSubImages(0, 3, r, sub.data()), SC_OK);
    EXPECT_EQ(sub, imagesOf(cube, 0, 3, r));
    ASSERT_EQ(cube.getSubImages(std::vector<unsigned>{2, 0}, r, sub.data()), SC_OK);
    Image expected = imagesOf(cube, 2, 1, r);
    const Image second = imagesOf(cube, 0, 1, r);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(Image(sub.begin(), sub.begin() + 12), expected);

    cube.setFactor(1.5f);
    Image roi(20);
    Image subRoi(6);
    ASSERT_EQ(cube.computeRoiImage(1, 38, roi.data()), SC_OK);
    ASSERT_EQ(cube.computeSubRoiImage(1, 38, r, subRoi.data()), SC_OK);
    EXPECT_EQ(subRoi, (Image{roi[11], roi[12], roi[13], roi[16], roi[17], roi[18]}));
}

TEST(SubImages, RefuseRectanglesLeavingTheCubeBeforeReading) {
    MemoryCube cube(5, 4, 2, distinct);
    Image out(64);
    for (const Rect& r :
         {Rect{3, 0, 3, 1}, Rect{0, 4, 1, 1}, Rect{UINT_MAX, 0, 2, 1}, Rect{0, 1, 1, UINT_MAX}}) {
        EXPECT_EQ(cube.getSubImage(0, r, out.data()), SC_OUT_OF_RANGE);
        EXPECT_EQ(cube.computeSubRoiImage(0, 1, r, out.data()), SC_OUT_OF_RANGE);
    }
    EXPECT_TRUE(cube.imageRuns.empty());
    EXPECT_EQ(cube.getSubImage(1, Rect{4, 3, 1, 1}, out.data()), SC_OK);
    EXPECT_EQ(out[0], distinct(4, 3, 1));
}

}  // namespace

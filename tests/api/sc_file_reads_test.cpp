// The reads every format inherits from SCFile, over an in-memory cube recording its primitives.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <vector>

#include "sc_api/sc_spectrum.h"
#include "support/memory_cube.h"

namespace {

using test_support::MemoryCube;
using test_support::TextMask;
using Image = std::vector<unsigned short>;
using Floats = std::vector<float>;

unsigned short distinct(unsigned x, unsigned y, unsigned c) {
    return static_cast<unsigned short>(1 + x + 10 * y + 100 * c);
}

Image imagesOf(const std::vector<unsigned>& channels, const Rect& r) {
    Image images;
    for (const unsigned c : channels) {
        for (unsigned i = 0; i < r.width * r.height; ++i) {
            images.push_back(distinct(r.x + i % r.width, r.y + i / r.width, c));
        }
    }
    return images;
}

Floats values(const SCSpectrum& spectrum) {
    Floats result;
    for (unsigned c = 0; c < spectrum.size(); ++c) {
        result.push_back(spectrum[c]);
    }
    return result;
}

TEST(ScaledReads, KeepTheLow16BitsOfTheTruncatedProduct) {
    MemoryCube cube(2, 1, 4, [](unsigned x, unsigned, unsigned c) {
        return static_cast<unsigned short>(x == 0 ? (c % 2 == 1 ? 40000 : 0) : 3 + c);
    });
    Image roi(2);
    ASSERT_EQ(cube.computeRoiImage(0, 4, roi.data()), SC_OK);
    EXPECT_EQ(roi, (Image{14464, 18})) << "40000 + 40000 wraps";
    cube.setFactor(0.5f);
    ASSERT_EQ(cube.computeRoiImage(0, 4, roi.data()), SC_OK);
    EXPECT_EQ(roi, (Image{40000, 9}));
    SCAllocatedSpectrum spectrum(4);
    ASSERT_EQ(cube.getSpectrum(1, 0, spectrum), SC_OK);
    EXPECT_EQ(values(spectrum), (Floats{1.5f, 2.0f, 2.5f, 3.0f}));
    cube.setFactor(2.0f);
    ASSERT_EQ(cube.getImage(1, roi.data()), SC_OK);
    EXPECT_EQ(roi, (Image{14464, 8}));
    cube.setFactor(std::numeric_limits<float>::infinity());  // products beyond 64 bits saturate
    ASSERT_EQ(cube.getImage(1, roi.data()), SC_OK);
    EXPECT_EQ(roi, (Image{0xFFFF, 0xFFFF}));
}

TEST(Batches, HoldAtMost32ChannelsOr32Pixels) {
    MemoryCube cube(11, 3, 70, [](unsigned, unsigned, unsigned) -> unsigned short { return 1; });
    Image roi(33);
    ASSERT_EQ(cube.computeRoiImage(3, 33, roi.data()), SC_OK);
    EXPECT_EQ(roi, Image(33, 33));
    EXPECT_EQ(cube.imageRuns, (std::vector<unsigned>{32, 1}));
    SCAllocatedSpectrum sum(70);
    std::int64_t pixelCount = 0;
    ASSERT_EQ(cube.computeRegionSpectrum(TextMask::full(11, 3), sum, pixelCount), SC_OK);
    EXPECT_EQ(cube.spectrumBatches, (std::vector<unsigned>{32, 1}));
    EXPECT_EQ(pixelCount, 33);
    EXPECT_FLOAT_EQ(sum[69], 33.0f);

    cube.failReads(SC_FILE_ERROR);
    EXPECT_EQ(cube.computeRegionSpectrum(TextMask::full(11, 3), sum, pixelCount), SC_FILE_ERROR);
    EXPECT_EQ(cube.computeRoiImage(0, 70, roi.data()), SC_FILE_ERROR);
    EXPECT_EQ(cube.spectrumBatches.size() + cube.imageRuns.size(), 6u) << "none after a failure";
}

TEST(Reads, RefuseChannelsAndRectanglesLeavingTheCubeBeforeReading) {
    MemoryCube cube(5, 4, 2, distinct);
    Image out(64, 9);
    EXPECT_EQ(cube.computeRoiImage(2, 1, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube.computeRoiImage(UINT_MAX, 2, out.data()), SC_OUT_OF_RANGE);
    for (const Rect& r :
         {Rect{3, 0, 3, 1}, Rect{0, 4, 1, 1}, Rect{UINT_MAX, 0, 2, 1}, Rect{0, 1, 1, UINT_MAX}}) {
        EXPECT_EQ(cube.getSubImage(0, r, out.data()), SC_OUT_OF_RANGE);
        EXPECT_EQ(cube.computeSubRoiImage(0, 1, r, out.data()), SC_OUT_OF_RANGE);
    }
    EXPECT_TRUE(cube.imageRuns.empty());
    EXPECT_EQ(out, Image(64, 9));
}

TEST(RegionSpectrum, SumsSelectedAcquiredPixelsInsideTheCubeFromAnySignedOrigin) {
    MemoryCube cube(3, 3, 2, distinct);
    SCAllocatedSpectrum sum(2);
    std::int64_t pixelCount = 0;
    ASSERT_EQ(cube.computeRegionSpectrum(-1, -1, TextMask::full(3, 3), sum, pixelCount), SC_OK);
    EXPECT_EQ(pixelCount, 4);
    EXPECT_EQ(values(sum), (Floats{1 + 2 + 11 + 12, 101 + 102 + 111 + 112}));

    cube.setUnacquired(2, 1);
    ASSERT_EQ(cube.computeRegionSpectrum(1, 0, TextMask({"#.#", ".##"}), sum, pixelCount), SC_OK);
    EXPECT_EQ(pixelCount, 1) << "the others unselected, unacquired or outside";
    EXPECT_FLOAT_EQ(sum[0], 2);
    ASSERT_EQ(cube.computeRegionSpectrum(INT_MAX, -5, TextMask::full(3, 3), sum, pixelCount),
              SC_OK);
    EXPECT_EQ(pixelCount, 0);
}

TEST(Images, OfChannelListsAndRectanglesAreTheCutImagesInListOrder) {
    MemoryCube cube(5, 4, 40, distinct);
    const Rect r{1, 2, 3, 2};
    Image out(40 * 20);
    ASSERT_EQ(cube.getImages(std::vector<unsigned>{5, 2}, out.data()), SC_OK);
    EXPECT_EQ(Image(out.begin(), out.begin() + 40), imagesOf({5, 2}, Rect{0, 0, 5, 4}));
    ASSERT_EQ(cube.getSubImages(0, 3, r, out.data()), SC_OK);
    EXPECT_EQ(Image(out.begin(), out.begin() + 18), imagesOf({0, 1, 2}, r));

    cube.setFactor(1.5f);
    Image roi(20);
    ASSERT_EQ(cube.computeRoiImage(1, 38, roi.data()), SC_OK);
    ASSERT_EQ(cube.computeSubRoiImage(1, 38, r, out.data()), SC_OK);
    EXPECT_EQ(Image(out.begin(), out.begin() + 6),
              (Image{roi[11], roi[12], roi[13], roi[16], roi[17], roi[18]}));
}

}  // namespace

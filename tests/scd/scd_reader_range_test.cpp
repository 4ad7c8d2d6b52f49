#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "sc_api/scd.h"
#include "support/guarded_buffer.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

constexpr unsigned kWidth = 4;
constexpr unsigned kHeight = 3;
constexpr unsigned kDepth = 5;

// Every request here either lies inside a 4 x 3 x 5 cube or is refused before anything is
// decoded: refused requests leave every buffer as it was.
class SCDReaderRangeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(writeReferenceSCD(
            base, makeReferenceCube(kWidth, kHeight, kDepth, kHeight, variedCount)));
        cube = openSCDCube(base);
        ASSERT_TRUE(cube);
    }

    SCErrorCode readSpectrums(unsigned x, unsigned y, unsigned count, GuardedBuffer& out) {
        return cube->readSpectrums(x, y, count, out.data());
    }

    TempDir dir;
    std::string base = dir.file("cube");
    std::unique_ptr<SCFile> cube;
};

}  // namespace

TEST_F(SCDReaderRangeTest, SpectrumRunsMustStayInsideTheCube) {
    GuardedBuffer out(2 * kDepth);
    EXPECT_EQ(readSpectrums(0, kHeight, 1, out), SC_OUT_OF_RANGE);
    EXPECT_EQ(readSpectrums(kWidth, 0, 1, out), SC_OUT_OF_RANGE);
    EXPECT_EQ(readSpectrums(kWidth - 1, kHeight - 1, 2, out), SC_OUT_OF_RANGE);
    EXPECT_EQ(readSpectrums(0, 0, UINT_MAX, out), SC_OUT_OF_RANGE);
    EXPECT_TRUE(out.holdsOnly(GuardedBuffer::kUntouched));

    EXPECT_EQ(readSpectrums(kWidth - 1, kHeight - 1, 1, out), SC_OK);
    EXPECT_NE(out.slice(0, kDepth), std::vector<unsigned short>(kDepth, GuardedBuffer::kUntouched));
    EXPECT_TRUE(out.guardsIntact());
}

TEST_F(SCDReaderRangeTest, EmptySpectrumRunWritesNothing) {
    GuardedBuffer out(kDepth);
    EXPECT_EQ(readSpectrums(1, 1, 0, out), SC_OK);
    EXPECT_TRUE(out.holdsOnly(GuardedBuffer::kUntouched));
    EXPECT_TRUE(out.guardsIntact());
}

TEST_F(SCDReaderRangeTest, ListedPixelsMustLieInsideTheCube) {
    for (SCPixelPosition outside : {SCPixelPosition{kWidth, 0}, SCPixelPosition{0, kHeight}}) {
        std::vector<GuardedBuffer> outs(2, GuardedBuffer(kDepth));
        EXPECT_EQ(cube->readSpectrumsAt({{0, 0}, outside}, dataPointers(outs)), SC_OUT_OF_RANGE);
        EXPECT_TRUE(outs[0].holdsOnly(GuardedBuffer::kUntouched));
    }
    std::vector<GuardedBuffer> tooFew(1, GuardedBuffer(kDepth));
    EXPECT_EQ(cube->readSpectrumsAt({{0, 0}, {1, 0}}, dataPointers(tooFew)), SC_OUT_OF_RANGE);
    EXPECT_TRUE(tooFew[0].holdsOnly(GuardedBuffer::kUntouched));
}

TEST_F(SCDReaderRangeTest, ChannelRangesMustEndWithinTheDepth) {
    GuardedBuffer out(2 * kWidth * kHeight);
    EXPECT_EQ(cube->readImages(kDepth - 1, 2, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readImages(UINT_MAX, 2, out.data()), SC_OUT_OF_RANGE);
    EXPECT_TRUE(out.holdsOnly(GuardedBuffer::kUntouched));

    EXPECT_EQ(cube->readImages(kDepth, 0, out.data()), SC_OK);
    EXPECT_TRUE(out.holdsOnly(GuardedBuffer::kUntouched));
}

TEST_F(SCDReaderRangeTest, ListedChannelsMustLieWithinTheDepth) {
    std::vector<GuardedBuffer> outs(2, GuardedBuffer(kWidth * kHeight));
    EXPECT_EQ(cube->readImagesAt({0, kDepth}, dataPointers(outs)), SC_OUT_OF_RANGE);
    EXPECT_TRUE(outs[0].holdsOnly(GuardedBuffer::kUntouched));

    std::vector<GuardedBuffer> tooFew(1, GuardedBuffer(kWidth * kHeight));
    EXPECT_EQ(cube->readImagesAt({0, 1}, dataPointers(tooFew)), SC_OUT_OF_RANGE);
    EXPECT_TRUE(tooFew[0].holdsOnly(GuardedBuffer::kUntouched));
}

TEST_F(SCDReaderRangeTest, ScaledReadsPassTheRefusalsOn) {
    std::vector<unsigned short> image(kWidth * kHeight);
    EXPECT_EQ(cube->getImage(kDepth, image.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->computeRoiImage(kDepth - 1, 2, image.data()), SC_OUT_OF_RANGE);
}

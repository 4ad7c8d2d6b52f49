#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "sc_api/scd.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

struct CubeShape {
    CubeKind kind;
    unsigned width;
    unsigned height;
    unsigned depth;
    unsigned acquiredLines;
};

std::ostream& operator<<(std::ostream& out, const CubeShape& shape) {
    static const char* const kKinds[] = {"random runs", "sparse", "dense"};
    return out << kKinds[static_cast<int>(shape.kind)] << " " << shape.width << " x "
               << shape.height << " x " << shape.depth << ", " << shape.acquiredLines << " lines";
}

// Both writers against the independent reference on the same cube: identical files, and a
// cube that reads back exactly in both views.
class WriterIdentityTest : public ::testing::TestWithParam<CubeShape> {
  protected:
    ReferenceCube cube() const {
        const CubeShape& shape = GetParam();
        return randomCube(shape.kind, shape.width, shape.height, shape.depth, shape.acquiredLines,
                          20240611u + shape.width * 31 + shape.depth, 0.5f);
    }

    TempDir dir;
    std::string reference = dir.file("reference");
    std::string built = dir.file("built");
    std::string encoded = dir.file("encoded");
};

TEST_P(WriterIdentityTest, BuilderWritesTheReferenceFilesByteForByte) {
    const ReferenceCube expected = cube();
    ASSERT_TRUE(writeReferenceSCD(reference, expected));
    ASSERT_TRUE(buildWithBuilder(built, expected));
    EXPECT_TRUE(sameSCDFiles(built, reference));
}

TEST_P(WriterIdentityTest, BatchEncoderWritesTheReferenceFilesByteForByte) {
    const ReferenceCube expected = cube();
    ASSERT_TRUE(writeReferenceSCD(reference, expected));
    ASSERT_TRUE(encodeWithBatch(encoded, expected));
    EXPECT_TRUE(sameSCDFiles(encoded, reference));
}

TEST_P(WriterIdentityTest, BothWritersCubesReadBackInBothViews) {
    const ReferenceCube expected = cube();
    if (expected.width == 0) {
        GTEST_SKIP() << "a cube without pixels has no spectrum to read";
    }
    ASSERT_TRUE(buildWithBuilder(built, expected));
    ASSERT_TRUE(encodeWithBatch(encoded, expected));
    for (const std::string& base : {built, encoded}) {
        auto opened = openSCDCube(base);
        ASSERT_TRUE(opened) << base;
        EXPECT_TRUE(readsExactly(*opened, expected)) << base;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cubes, WriterIdentityTest,
    ::testing::Values(
        CubeShape{CubeKind::kRandomRuns, 7, 5, 300, 5}, CubeShape{CubeKind::kSparse, 9, 6, 700, 6},
        CubeShape{CubeKind::kDense, 5, 4, 33, 4},
        // Fewer lines stored than the cube has: the images end in zeros.
        CubeShape{CubeKind::kRandomRuns, 4, 9, 40, 3}, CubeShape{CubeKind::kSparse, 6, 5, 20, 0},
        // Several blocks of 32 lines in the batch encoder, of 16 items in
        // the stream encoder.
        CubeShape{CubeKind::kSparse, 3, 70, 12, 70},
        // Zero-sized dimensions.
        CubeShape{CubeKind::kDense, 0, 3, 4, 3}, CubeShape{CubeKind::kDense, 3, 0, 4, 0},
        CubeShape{CubeKind::kDense, 3, 2, 0, 2}, CubeShape{CubeKind::kDense, 0, 0, 0, 0}),
    [](const ::testing::TestParamInfo<CubeShape>& info) {
        return "Cube" + std::to_string(info.index);
    });

TEST(WriterIdentity, BuilderAndBatchEncoderAgreeOnAnEDSLikeCube) {
    TempDir dir;
    const ReferenceCube cube = makeReferenceCube(12, 8, 1024, 8, variedCount, 2.0f);
    ASSERT_TRUE(buildWithBuilder(dir.file("built"), cube));
    ASSERT_TRUE(encodeWithBatch(dir.file("encoded"), cube));
    EXPECT_TRUE(sameSCDFiles(dir.file("built"), dir.file("encoded")));
}

}  // namespace

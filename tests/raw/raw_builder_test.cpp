// Building raw cubes line by line, checked against the layout of an independent writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sc_api/sc_raw_io.h"
#include "support/raw_cube_files.h"
#include "support/temp_dir.h"

namespace {

using test_support::CubeValues;
using test_support::distinctValue;
using test_support::fileExists;
using test_support::rawDataBytes;
using test_support::readFileBytes;
using test_support::readFileText;
using test_support::rplText;
using test_support::spectrumLine;
using test_support::TempDir;
using test_support::writeFileBytes;
using BuilderPtr = SharedPtr<SCFileBuilder, SCDeleteFileBuilder>;

constexpr auto kByImage = SCRawHeader::RECORD_BY_IMAGE;
constexpr unsigned kWidth = 3;
constexpr unsigned kHeight = 2;
constexpr unsigned kDepth = 4;

class RawBuilders : public testing::TestWithParam<SCRawHeader::StorageFormat> {
  protected:
    BuilderPtr builder() {
        return SCRawIO::getBuilder(base_, SCRawHeader(kWidth, kHeight, kDepth, GetParam()));
    }
    static SCErrorCode addLine(SCFileBuilder& builder, unsigned y,
                               const CubeValues& values = distinctValue) {
        return builder.addSpectrumLine(spectrumLine(kWidth, kDepth, y, values).data());
    }
    std::vector<unsigned char> layout(const CubeValues& values = distinctValue) const {
        return rawDataBytes(kWidth, kHeight, kDepth, GetParam(), values);
    }

    TempDir dir_;
    std::string base_ = dir_.file("cube");
};

TEST_P(RawBuilders, WriteTheLayoutAndTheNineHeaderLinesOverAnyOldFile) {
    writeFileBytes(base_ + ".raw", std::vector<unsigned char>(1000, 0xFF));
    const CubeValues sparse = [](unsigned x, unsigned y, unsigned c) {
        return x == 1 && c == 2 ? 9u + y : 0u;
    };
    BuilderPtr built = builder();
    ASSERT_TRUE(built);
    EXPECT_EQ(built->depth(), kDepth);
    ASSERT_EQ(addLine(*built, 0, sparse), SC_OK);
    ASSERT_EQ(addLine(*built, 1, sparse), SC_OK);
    ASSERT_EQ(built->close(), SC_OK);
    EXPECT_FALSE(built->isOpen());
    EXPECT_EQ(readFileText(base_ + ".rpl"), rplText(kWidth, kHeight, kDepth, GetParam()));
    EXPECT_EQ(readFileBytes(base_ + ".raw"), layout(sparse));
}

TEST_P(RawBuilders, RefuseLinesBeyondTheHeightWithoutWriting) {
    BuilderPtr built = builder();
    ASSERT_EQ(addLine(*built, 0), SC_OK);
    ASSERT_EQ(addLine(*built, 1), SC_OK);
    const std::vector<unsigned char> before = readFileBytes(base_ + ".raw");
    EXPECT_EQ(addLine(*built, 2), SC_OUT_OF_RANGE);
    EXPECT_EQ(readFileBytes(base_ + ".raw"), before);
    EXPECT_EQ(built->close(), SC_OK);
    EXPECT_EQ(readFileBytes(base_ + ".raw"), layout());
    EXPECT_EQ(built->close(), SC_FILE_ERROR);
    EXPECT_EQ(built->cancel(), SC_FILE_ERROR);
}

TEST_P(RawBuilders, CloseCompletesMissingLinesWithZeros) {
    BuilderPtr built = builder();
    ASSERT_EQ(addLine(*built, 0), SC_OK);
    ASSERT_EQ(built->close(), SC_OK);
    EXPECT_EQ(readFileBytes(base_ + ".raw"), layout([](unsigned x, unsigned y, unsigned c) {
                  return y == 0 ? distinctValue(x, y, c) : 0u;
              }));
}

TEST_P(RawBuilders, CancelRemovesTheDataAndLeavesNoHeader) {
    {
        BuilderPtr built = builder();
        ASSERT_EQ(addLine(*built, 0), SC_OK);
        EXPECT_EQ(built->cancel(), SC_OK);
        EXPECT_FALSE(fileExists(base_ + ".raw"));
        EXPECT_EQ(built->cancel(), SC_FILE_ERROR);
        EXPECT_EQ(addLine(*built, 1), SC_FILE_ERROR);
        EXPECT_EQ(built->close(), SC_FILE_ERROR);
    }
    EXPECT_FALSE(fileExists(base_ + ".rpl"));
    EXPECT_FALSE(fileExists(base_ + ".raw"));
}

TEST_P(RawBuilders, DestroyingAnOpenBuilderFinishesTheCube) {
    {
        BuilderPtr built = builder();
        ASSERT_EQ(addLine(*built, 0), SC_OK);
        ASSERT_EQ(addLine(*built, 1), SC_OK);
    }
    EXPECT_EQ(readFileText(base_ + ".rpl"), rplText(kWidth, kHeight, kDepth, GetParam()));
    EXPECT_EQ(readFileBytes(base_ + ".raw"), layout());
}

TEST_P(RawBuilders, FailToWriteTheHeaderByCancelling) {
    std::filesystem::create_directory(base_ + ".rpl");
    BuilderPtr built = builder();
    EXPECT_EQ(built->close(), SC_FILE_ERROR);
    EXPECT_FALSE(built->isOpen());
    EXPECT_FALSE(fileExists(base_ + ".raw"));
}

TEST_P(RawBuilders, AreNotMadeWhereNoDataFileCanBeCreated) {
    const SCRawHeader huge(4294967295u, 4294967295u, 4294967295u, GetParam());
    EXPECT_FALSE(SCRawIO::getBuilder(base_, huge));
    EXPECT_FALSE(fileExists(base_ + ".raw"));
    EXPECT_FALSE(SCRawIO::getBuilder(dir_.file("missing/cube"),
                                     SCRawHeader(kWidth, kHeight, kDepth, GetParam())));
}

INSTANTIATE_TEST_SUITE_P(BothOrders, RawBuilders,
                         testing::Values(kByImage, SCRawHeader::RECORD_BY_VECTOR));

TEST(RawImageBuilder, MakesTheWholeZeroFilledDataFileAtOnce) {
    TempDir dir;
    BuilderPtr built = SCRawIO::getBuilder(dir.file("cube"), SCRawHeader(2, 2, 3, kByImage));
    EXPECT_EQ(readFileBytes(dir.file("cube.raw")), std::vector<unsigned char>(48, 0));
}

TEST(RawImageBuilder, RoiImageCoversTheLinesWrittenSoFar) {
    TempDir dir;
    const CubeValues wide = [](unsigned x, unsigned y, unsigned c) {
        return 30000u + x + 7 * y + 1000 * c;
    };
    BuilderPtr built = SCRawIO::getBuilder(dir.file("cube"), SCRawHeader(3, 2, 4, kByImage));
    ASSERT_EQ(built->addSpectrumLine(spectrumLine(3, 4, 0, wide).data()), SC_OK);
    std::vector<unsigned short> roi(6);
    ASSERT_EQ(built->computeRoiImage(1, 3, roi.data()), SC_OK);
    const auto sum = static_cast<unsigned short>(wide(0, 0, 1) + wide(0, 0, 2) + wide(0, 0, 3));
    EXPECT_EQ(roi, (std::vector<unsigned short>{sum, static_cast<unsigned short>(sum + 3),
                                                static_cast<unsigned short>(sum + 6), 0, 0, 0}));
    EXPECT_EQ(built->computeRoiImage(2, 3, roi.data()), SC_OUT_OF_RANGE);

    ASSERT_EQ(built->addSpectrumLine(spectrumLine(3, 4, 1, wide).data()), SC_OK);
    std::vector<unsigned short> whileBuilding(6);
    ASSERT_EQ(built->computeRoiImage(0, 4, whileBuilding.data()), SC_OK);
    ASSERT_EQ(built->close(), SC_OK);
    EXPECT_EQ(built->computeRoiImage(0, 4, roi.data()), SC_FILE_ERROR);
    ASSERT_EQ(SCRawIO::openSCRawFile(dir.file("cube"))->computeRoiImage(0, 4, roi.data()), SC_OK);
    EXPECT_EQ(whileBuilding, roi);
}

TEST(RawVectorBuilder, IsWhatAnyFormatButByImageGivesAndComputesNoRoiImage) {
    TempDir dir;
    const auto other = static_cast<SCRawHeader::StorageFormat>(7);
    BuilderPtr built = SCRawIO::getBuilder(dir.file("cube"), SCRawHeader(1, 1, 2, other));
    std::vector<unsigned short> roi(1);
    EXPECT_EQ(built->computeRoiImage(0, 1, roi.data()), SC_OUT_OF_RANGE);
    ASSERT_EQ(built->close(), SC_OK);
    EXPECT_EQ(readFileText(dir.file("cube.rpl")), rplText(1, 1, 2, SCRawHeader::RECORD_BY_VECTOR));
}

}  // namespace

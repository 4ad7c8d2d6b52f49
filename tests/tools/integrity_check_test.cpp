#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <tuple>

#include "sc_api/fragmented_scd_header.h"
#include "sc_api/sc_integrity_check.h"
#include "sc_api/scd.h"
#include "support/cube_fixtures.h"
#include "support/reference_scd_writer.h"
#include "support/scd_writers.h"

namespace {

using namespace test_support;

TEST(IntegrityCheck, CubesOfEveryFormAgreeWithThemselves) {
    for (SCCubeForm form : {SCCubeForm::RAW_VECTOR, SCCubeForm::RAW_IMAGE, SCCubeForm::SCD,
                            SCCubeForm::FRAGMENTED_SCD}) {
        TempDir dir;
        const std::string name = writeSmallCube(dir.file("cube"), form);
        SCIntegrityReport report;
        ASSERT_TRUE(SCIntegrityCheck::check(name, report, nullptr).ok());
        EXPECT_TRUE(report.consistent()) << scCubeFormText(form);
        EXPECT_GT(report.valuesCompared, 0u);
    }
}

// A fragmented cube without pixels or areas claims lines and a depth that no file backs:
// opening, reading and checking it must cost nothing, not one step per claimed line or channel.
TEST(IntegrityCheck, AnEmptyCubeOfBillionsOfChannelsIsCheckedAtOnce) {
    TempDir dir;
    const unsigned depth = 4'000'000'000u;
    {
        std::ofstream header(dir.file("cube.scdh"), std::ios::binary);
        ASSERT_EQ(FragmentedSCDHeader(0, 800'000'000u, depth, 1.0f).write(header), SC_OK);
    }
    const std::unique_ptr<SCFile> cube(SCD::openSCD(dir.file("cube")));
    ASSERT_TRUE(cube);
    ASSERT_EQ(cube->depth(), depth);
    unsigned short none = 0;
    EXPECT_EQ(cube->readImages(0, depth, &none), SC_OK);
    EXPECT_EQ(cube->computeRoiImage(0, depth, &none), SC_OK);
    EXPECT_TRUE(SCD::checkIntegrity(dir.file("cube")));
    SCIntegrityReport report;
    ASSERT_TRUE(SCIntegrityCheck::check(dir.file("cube"), report, nullptr).ok());
    EXPECT_TRUE(report.consistent());
    EXPECT_EQ(report.valuesCompared, 0u);
}

TEST(IntegrityCheck, ListsTheFirstDisagreementsChannelByChannel) {
    TempDir dir;
    const ReferenceCube cube =
        makeReferenceCube(5, 4, 6, 4, [](unsigned x, unsigned y, unsigned c) {
            return static_cast<unsigned short>(1 + x + 10 * y + 100 * c);
        });
    const std::optional<ReferenceSCDLayout> layout = writeReferenceSCD(dir.file("cube"), cube);
    ASSERT_TRUE(layout);
    // Spoil the image stream of channel 2: its bit count runs past the file, so it no longer
    // decodes and reads as zeros.
    {
        std::fstream images(dir.file("cube.scdi"), std::ios::in | std::ios::out | std::ios::binary);
        images.seekp(static_cast<std::streamoff>(layout->images[2].offset));
        const std::string garbage(4, '\xff');
        images.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
    SCIntegrityReport report;
    ASSERT_TRUE(SCIntegrityCheck::check(dir.file("cube"), report, nullptr).ok());
    EXPECT_FALSE(report.consistent());
    EXPECT_EQ(report.valuesCompared, 5u * 4 * 6);
    EXPECT_EQ(report.mismatchCount, 5u * 4);
    ASSERT_EQ(report.firstMismatches.size(), SCIntegrityReport::MAX_LISTED);
    const SCValueMismatch& first = report.firstMismatches.front();
    EXPECT_EQ(first.channel, 2u);
    EXPECT_EQ(first.x, 0u);
    EXPECT_EQ(first.y, 0u);
    EXPECT_EQ(first.fromSpectrum, cube.count(0, 0, 2));
    EXPECT_NE(first.fromImage, first.fromSpectrum);
    for (std::size_t i = 1; i < report.firstMismatches.size(); ++i) {
        const SCValueMismatch& a = report.firstMismatches[i - 1];
        const SCValueMismatch& b = report.firstMismatches[i];
        EXPECT_LT(std::tie(a.channel, a.y, a.x), std::tie(b.channel, b.y, b.x));
    }
}

TEST(IntegrityCheck, SaysWhyACubeCannotBeChecked) {
    TempDir dir;
    SCIntegrityReport report;
    EXPECT_EQ(SCIntegrityCheck::check(dir.file("absent"), report, nullptr).problem,
              SCProblem::MISSING_FILE);
}

}  // namespace

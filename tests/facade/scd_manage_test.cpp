#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

#include "sc_api/logger.h"
#include "sc_api/sc_cube_loader.h"
#include "sc_api/scd.h"
#include "support/fragmented_cube_files.h"
#include "support/scd_cube_checks.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Names = std::set<std::string>;

class SCDManageTest : public ::testing::Test {
  protected:
    // Sets the header type field (bytes 8 to 11 of the header file).
    void setHeaderType(std::uint32_t type) {
        overwriteFileBytes(base + ".scdh", 8, littleEndian32(type));
    }

    TempDir dir;
    std::string base = dir.file("cube");
    ReferenceCube cube = makeReferenceCube(3, 2, 4, 2, [](unsigned x, unsigned y, unsigned c) {
        return static_cast<unsigned short>(1 + x + 10 * y + 100 * c);
    });
};

}  // namespace

TEST_F(SCDManageTest, RemoveDeletesTheFilesOfSimpleAndFragmentedCubesOnly) {
    ASSERT_TRUE(writeReferenceSCD(base, cube));
    ASSERT_TRUE(writeReferenceSCD(dir.file("other"), cube));
    writeFileText(base + ".txt", "notes");
    ASSERT_TRUE(writeFragmentedCube(dir.file("tiles"), twoAreasSideBySide()));
    ASSERT_TRUE(writeReferenceSCD(dir.file("tiles.3"), cube));  // not one of its two areas
    SCD::removeSCD(base);
    SCD::removeSCD(dir.file("tiles"));
    EXPECT_EQ(filesIn(dir.path()), (Names{"other.scdh", "other.scds", "other.scdi", "cube.txt",
                                          "tiles.3.scdh", "tiles.3.scds", "tiles.3.scdi"}));
}

TEST_F(SCDManageTest, RemoveLeavesCubesWhoseHeaderIsUnreadableOfAnotherTypeOrMissing) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    ASSERT_TRUE(writeFragmentedCube(base, model));
    const std::string map = fragmentedHeaderBytes(model);
    writeFileText(base + ".scdh", map.substr(0, map.size() - 4));
    const Names files = filesIn(dir.path());
    SCD::removeSCD(base);
    EXPECT_EQ(filesIn(dir.path()), files);
    setHeaderType(3);
    SCD::removeSCD(base);
    SCD::removeSCD(dir.file("missing"));
    EXPECT_EQ(filesIn(dir.path()), files);
}

TEST_F(SCDManageTest, OpensByHeaderType) {
    ASSERT_TRUE(writeReferenceSCD(base, cube));
    EXPECT_TRUE(openSCDCube(base));
    setHeaderType(SCD::FRAGMENTED_HEADER);  // goes to the fragmented reader, which refuses it
    EXPECT_FALSE(openSCDCube(base));
    setHeaderType(3);
    EXPECT_FALSE(openSCDCube(base));
    EXPECT_FALSE(openSCDCube(dir.file("missing")));
    EXPECT_FALSE(fileExists(dir.file("missing.scds")));
}

// Intact, the cube passes silently. Then the spectrum of pixel (2, 1) and the image of channel 2
// cannot be decoded: both read as zeros, so they differ everywhere but at (2, 1, 2).
TEST_F(SCDManageTest, IntegrityCheckReportsEveryValueWhereSpectraAndImagesDiffer) {
    const auto layout = writeReferenceSCD(base, cube);
    ASSERT_TRUE(layout);
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(SCD::checkIntegrity(base));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    overwriteFileBytes(base + ".scds", layout->spectra.at(1 * 3 + 2).offset,
                       littleEndian32(0xFFFFFFF0));
    overwriteFileBytes(base + ".scdi", layout->images.at(2).offset, littleEndian32(0xFFFFFFF0));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(SCD::checkIntegrity(base));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "2, 1, 0 : 0, 13\n"
              "2, 1, 1 : 0, 113\n"
              "0, 0, 2 : 201, 0\n"
              "1, 0, 2 : 202, 0\n"
              "2, 0, 2 : 203, 0\n"
              "0, 1, 2 : 211, 0\n"
              "1, 1, 2 : 212, 0\n"
              "2, 1, 3 : 0, 313\n");
}

TEST_F(SCDManageTest, CubeThatCannotBeOpenedIsLoggedWhileTheLoggerIsEnabled) {
    std::ostringstream errors;
    Logger::getInstance().setErrorOut(errors);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(SCD::checkIntegrity(base));
    Logger::getInstance().disable();
    EXPECT_FALSE(SCD::checkIntegrity(base));
    Logger::getInstance().setErrorOut(std::cerr);
    Logger::getInstance().enable();
    EXPECT_EQ(errors.str(), "ERROR : checkIntegrity : the SCD " + base + " can't be open\n");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST_F(SCDManageTest, LoaderOpensExactlyTheHeaderFilesOfCubes) {
    std::filesystem::create_directory(dir.file("dir.old"));
    const std::string dotted = dir.file("dir.old/cube");
    ASSERT_TRUE(writeReferenceSCD(dotted, cube));
    ASSERT_TRUE(writeFragmentedCube(dir.file("tiles.v2"), twoAreasSideBySide()));
    auto loader = SCD::getSCDCubeLoader();
    ASSERT_TRUE(loader);
    for (const std::string& path : {dotted + ".scdh", dir.file("tiles.v2.scdh")}) {
        std::unique_ptr<SCFile> opened(loader->load(path));
        EXPECT_TRUE(opened) << path;
    }
    for (const std::string& path : {dotted + ".SCDH", dotted + ".scds", dotted, dotted + "scdh",
                                    dotted + ".scdh.bak", dir.file("missing.scdh")}) {
        EXPECT_EQ(loader->load(path), nullptr) << path;
    }
}

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>

#include "sc_api/logger.h"
#include "sc_api/sc_cube_loader.h"
#include "sc_api/scd.h"
#include "support/codec_bits.h"
#include "support/fragmented_cube_files.h"
#include "support/reference_scd_writer.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

// Everything written to std::cout while the object lives.
class CoutCapture {
  public:
    CoutCapture() : previous_(std::cout.rdbuf(captured_.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(previous_); }
    std::string text() const { return captured_.str(); }

  private:
    std::ostringstream captured_;
    std::streambuf* previous_;
};

// The library logger's error stream while the object lives; the logger is enabled again after.
class LoggedErrors {
  public:
    LoggedErrors() { Logger::getInstance().setErrorOut(errors_); }
    ~LoggedErrors() {
        Logger::getInstance().setErrorOut(std::cerr);
        Logger::getInstance().enable();
    }
    std::string text() const { return errors_.str(); }

  private:
    std::ostringstream errors_;
};

using ViewCount = std::function<unsigned short(unsigned x, unsigned y, unsigned c)>;

// The lines checkIntegrity prints for a cube whose spectra read `spectra` and whose images read
// `images`.
std::string mismatchLines(unsigned w, unsigned h, unsigned d, const ViewCount& spectra,
                          const ViewCount& images) {
    std::ostringstream lines;
    for (unsigned k = 0; k < d; ++k) {
        for (unsigned y = 0; y < h; ++y) {
            for (unsigned x = 0; x < w; ++x) {
                if (spectra(x, y, k) != images(x, y, k)) {
                    lines << x << ", " << y << ", " << k << " : " << spectra(x, y, k) << ", "
                          << images(x, y, k) << "\n";
                }
            }
        }
    }
    return lines.str();
}

unsigned short nonZeroCount(unsigned x, unsigned y, unsigned c) {
    return static_cast<unsigned short>(1 + x + 10 * y + 100 * c);
}

class SCDManageTest : public ::testing::Test {
  protected:
    // A stream whose bit count claims more bits than its file holds: it reads as undecodable.
    void damageStream(const std::string& file, const StreamPlace& place) {
        overwriteFileBytes(file, place.offset, littleEndian32(0xFFFFFFF0));
    }

    TempDir dir;
    std::string base = dir.file("cube");
    ReferenceCube cube = makeReferenceCube(3, 2, 4, 2, nonZeroCount);
};

}  // namespace

TEST_F(SCDManageTest, RemovingASimpleCubeDeletesItsThreeFilesOnly) {
    ASSERT_TRUE(writeReferenceSCD(base, cube));
    ASSERT_TRUE(writeReferenceSCD(dir.file("other"), cube));
    writeFileText(base + ".txt", "notes");
    SCD::removeSCD(base);
    EXPECT_EQ(filesIn(dir.path()),
              (std::set<std::string>{"other.scdh", "other.scds", "other.scdi", "cube.txt"}));
}

TEST_F(SCDManageTest, RemovingAFragmentedCubeDeletesItsAreasThenItsMap) {
    ASSERT_TRUE(writeFragmentedCube(base, twoAreasSideBySide()));
    ASSERT_TRUE(writeReferenceSCD(base + ".3", cube));
    SCD::removeSCD(base);
    EXPECT_EQ(filesIn(dir.path()),
              (std::set<std::string>{"cube.3.scdh", "cube.3.scds", "cube.3.scdi"}));
}

TEST_F(SCDManageTest, RemovingLeavesCubesWhoseHeaderIsUnreadableOrForeign) {
    const FragmentedCubeModel model = twoAreasSideBySide();
    ASSERT_TRUE(writeFragmentedCube(base, model));
    const std::string map = fragmentedHeaderBytes(model);
    writeFileText(base + ".scdh", map.substr(0, map.size() - 4));
    const std::set<std::string> files = filesIn(dir.path());
    SCD::removeSCD(base);
    EXPECT_EQ(filesIn(dir.path()), files);

    ByteWriter foreign;
    foreign.u32(SCD::MAGIC_NUMBER).u32(1).u32(3);
    writeFileText(base + ".scdh", foreign.str());
    SCD::removeSCD(base);
    EXPECT_EQ(filesIn(dir.path()), files);

    SCD::removeSCD(dir.file("missing"));
    EXPECT_EQ(filesIn(dir.path()), files);
}

TEST_F(SCDManageTest, IntactCubesPassWithoutOutput) {
    ASSERT_TRUE(writeReferenceSCD(base, cube));
    FragmentedCubeModel partly = twoAreasSideBySide();
    partly.areas[1].storedLines = 2;
    ASSERT_TRUE(writeFragmentedCube(dir.file("fragmented"), partly));
    CoutCapture out;
    EXPECT_TRUE(SCD::checkIntegrity(base));
    EXPECT_TRUE(SCD::checkIntegrity(dir.file("fragmented")));
    EXPECT_EQ(out.text(), "");
}

TEST_F(SCDManageTest, DamagedSpectrumStreamIsReportedValueByValue) {
    const auto layout = writeReferenceSCD(base, cube);
    ASSERT_TRUE(layout);
    damageStream(base + ".scds", layout->spectra.at(1 * 3 + 2));
    const ViewCount spectra = [&](unsigned x, unsigned y, unsigned c) -> unsigned short {
        return x == 2 && y == 1 ? 0 : cube.count(x, y, c);
    };
    const ViewCount images = [&](unsigned x, unsigned y, unsigned c) {
        return cube.count(x, y, c);
    };
    CoutCapture out;
    EXPECT_FALSE(SCD::checkIntegrity(base));
    EXPECT_EQ(out.text(), mismatchLines(3, 2, 4, spectra, images));
    EXPECT_EQ(out.text().substr(0, 15), "2, 1, 0 : 0, 13");
}

TEST_F(SCDManageTest, DamagedImageStreamIsReportedValueByValue) {
    const auto layout = writeReferenceSCD(base, cube);
    ASSERT_TRUE(layout);
    damageStream(base + ".scdi", layout->images.at(2));
    const ViewCount spectra = [&](unsigned x, unsigned y, unsigned c) {
        return cube.count(x, y, c);
    };
    const ViewCount images = [&](unsigned x, unsigned y, unsigned c) -> unsigned short {
        return c == 2 ? 0 : cube.count(x, y, c);
    };
    CoutCapture out;
    EXPECT_FALSE(SCD::checkIntegrity(base));
    EXPECT_EQ(out.text(), mismatchLines(3, 2, 4, spectra, images));
}

TEST_F(SCDManageTest, OverlapWhereMapAndImagesDisagreeIsReported) {
    const FragmentedCubeModel model = overlappingAreas();
    ASSERT_TRUE(writeFragmentedCube(base, model));
    CoutCapture out;
    EXPECT_FALSE(SCD::checkIntegrity(base));
    const auto spectra = [&](unsigned x, unsigned y, unsigned c) {
        return model.spectrumCount(x, y, c);
    };
    const auto images = [&](unsigned x, unsigned y, unsigned c) {
        return model.imageCount(x, y, c);
    };
    EXPECT_EQ(out.text(), mismatchLines(10, 5, 3, spectra, images));
    EXPECT_NE(out.text(), "");
}

TEST_F(SCDManageTest, CubeThatCannotBeOpenedIsLoggedOnce) {
    LoggedErrors errors;
    CoutCapture out;
    EXPECT_FALSE(SCD::checkIntegrity(base));
    EXPECT_EQ(errors.text(), "ERROR : checkIntegrity : the SCD " + base + " can't be open\n");
    Logger::getInstance().disable();
    EXPECT_FALSE(SCD::checkIntegrity(base));
    EXPECT_EQ(errors.text(), "ERROR : checkIntegrity : the SCD " + base + " can't be open\n");
    EXPECT_EQ(out.text(), "");
}

TEST_F(SCDManageTest, CubeWithoutValuesIsIntact) {
    ASSERT_TRUE(writeReferenceSCD(base, makeReferenceCube(3, 2, 0, 2, nonZeroCount)));
    CoutCapture out;
    EXPECT_TRUE(SCD::checkIntegrity(base));
    EXPECT_EQ(out.text(), "");
}

TEST_F(SCDManageTest, LoaderOpensHeaderFilesOfBothKinds) {
    ASSERT_TRUE(writeReferenceSCD(base, cube));
    ASSERT_TRUE(writeFragmentedCube(dir.file("tiles.v2"), twoAreasSideBySide()));
    auto loader = SCD::getSCDCubeLoader();
    ASSERT_TRUE(loader);
    std::unique_ptr<SCFile> simple(loader->load(base + ".scdh"));
    ASSERT_TRUE(simple);
    EXPECT_EQ(simple->width(), 3u);
    std::unique_ptr<SCFile> tiles(loader->load(dir.file("tiles.v2.scdh")));
    ASSERT_TRUE(tiles);
    EXPECT_EQ(tiles->width(), 20u);
    EXPECT_NE(SCD::getSCDCubeLoader().get(), loader.get());
}

TEST_F(SCDManageTest, LoaderDeclinesOtherExtensionsAndDotsOfDirectories) {
    std::filesystem::create_directory(dir.file("dir.old"));
    const std::string dotted = dir.file("dir.old/cube");
    ASSERT_TRUE(writeReferenceSCD(dotted, cube));
    ASSERT_TRUE(writeReferenceSCD(base, cube));
    auto loader = SCD::getSCDCubeLoader();
    for (const std::string& path :
         {base + ".SCDH", base + ".scds", base + ".scdh.bak", dotted, base + "scdh"}) {
        EXPECT_EQ(loader->load(path), nullptr) << path;
    }
    std::unique_ptr<SCFile> opened(loader->load(dotted + ".scdh"));
    EXPECT_TRUE(opened);
    EXPECT_EQ(loader->load(dir.file("missing.scdh")), nullptr);
}

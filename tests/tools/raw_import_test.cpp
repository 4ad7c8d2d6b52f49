#include <gtest/gtest.h>

#include <filesystem>

#include "sc_api/sc_raw_import.h"
#include "support/cube_fixtures.h"

namespace {

using namespace test_support;

// The foreign cubes written by tests/data/foreign/make_foreign_cubes.py (numpy's tofile).
std::string foreign(const std::string& name) {
    return std::string(SC_API_TEST_DATA_DIR) + "/foreign/" + name;
}

// What every cube of the matrix holds: 3 x 2 pixels of 5 channels.
unsigned short matrixValue(unsigned x, unsigned y, unsigned c) {
    return static_cast<unsigned short>(1 + x + 3 * y + 6 * c);
}

std::vector<std::string> matrixNames() {
    std::vector<std::string> names;
    const std::pair<const char*, std::vector<int>> types[] = {
        {"signed", {1, 2, 4, 8}}, {"unsigned", {1, 2, 4, 8}}, {"float", {4, 8}}};
    for (const auto& [type, lengths] : types) {
        for (int length : lengths) {
            for (const char* order : {"little", "big"}) {
                for (const char* recordBy : {"vector", "image"}) {
                    names.push_back(std::string(type) + std::to_string(length) + "_" + order + "_" +
                                    recordBy);
                }
            }
        }
    }
    return names;
}

::testing::AssertionResult holdsMatrixValues(const std::string& cubeName) {
    const SCOpenedCube opened = SCCubeProbe::open(cubeName);
    if (!opened.status.ok()) {
        return ::testing::AssertionFailure() << opened.status.message();
    }
    SCFile& cube = *opened.cube;
    if (cube.width() != 3 || cube.height() != 2 || cube.depth() != 5) {
        return ::testing::AssertionFailure() << "wrong dimensions";
    }
    std::vector<unsigned short> all(30);
    cube.readSpectrums(0, 0, 6, all.data());
    for (unsigned p = 0; p < 6; ++p) {
        for (unsigned c = 0; c < 5; ++c) {
            if (all[p * 5 + c] != matrixValue(p % 3, p / 3, c)) {
                return ::testing::AssertionFailure()
                       << "pixel " << p << " channel " << c << ": " << all[p * 5 + c];
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(RawImport, ReadsEveryTypeLengthByteOrderAndStorageOrderOfAnotherWriter) {
    const std::vector<std::string> names = matrixNames();
    ASSERT_EQ(names.size(), 40u);
    for (const std::string& name : names) {
        TempDir dir;
        SCRawImportReport report;
        const SCStatus status =
            SCRawImport::importCube(foreign(name + ".rpl"), dir.file("cube"), SCCubeForm::SCD,
                                    false, false, report, nullptr);
        ASSERT_TRUE(status.ok()) << name << ": " << status.message();
        EXPECT_TRUE(holdsMatrixValues(dir.file("cube.scdh"))) << name;
        EXPECT_EQ(report.values, 30u);
        EXPECT_EQ(report.outOfRange(), 0u);
        // The header styles of the writer: ev-per-chan 10, or depth-scale 0.02 keV from -0.1 keV.
        const std::string header = readFileText(foreign(name + ".rpl"));
        SCEnergyCalibration calibration;
        const bool calibrated = SCEnergyCalibration::read(dir.file("cube"), calibration);
        if (header.find("EV-PER-CHAN") != std::string::npos) {
            ASSERT_TRUE(calibrated) << name;
            EXPECT_DOUBLE_EQ(calibration.evPerChannel, 10.0);
            EXPECT_DOUBLE_EQ(calibration.offsetEv, 0.0);
        } else if (header.find("depth-scale") != std::string::npos) {
            ASSERT_TRUE(calibrated) << name;
            EXPECT_DOUBLE_EQ(calibration.evPerChannel, 20.0);
            EXPECT_DOUBLE_EQ(calibration.offsetEv, -100.0);
        } else {
            EXPECT_FALSE(calibrated) << name;
        }
    }
}

TEST(RawImport, WritesEachSimpleFormAndThenTheStrictReaderTakesIt) {
    for (SCCubeForm to : {SCCubeForm::RAW_VECTOR, SCCubeForm::RAW_IMAGE, SCCubeForm::SCD}) {
        TempDir dir;
        SCRawImportReport report;
        ASSERT_TRUE(SCRawImport::importCube(foreign("signed2_big_image.raw"), dir.file("cube"), to,
                                            false, false, report, nullptr)
                        .ok());
        const std::string name = SCCubeProbe::outputFiles(dir.file("cube"), to).front();
        EXPECT_TRUE(holdsMatrixValues(name)) << scCubeFormText(to);
        EXPECT_EQ(SCCubeProbe::open(name).form, to);
    }
}

TEST(RawImport, RefusesValuesOutsideTheCountRangeUnlessClipped) {
    TempDir dir;
    SCRawImportReport report;
    SCStatus status = SCRawImport::importCube(foreign("out_of_range_float8.rpl"), dir.file("cube"),
                                              SCCubeForm::SCD, false, false, report, nullptr);
    EXPECT_EQ(status.problem, SCProblem::VALUES_OUT_OF_RANGE);
    EXPECT_EQ(status.file, foreign("out_of_range_float8.raw"));
    EXPECT_EQ(report.fractional, 1u);
    EXPECT_EQ(report.tooLarge, 1u);
    EXPECT_EQ(report.negative, 0u);
    EXPECT_TRUE(filesIn(dir.path()).empty());

    ASSERT_TRUE(SCRawImport::importCube(foreign("out_of_range_float8.rpl"), dir.file("cube"),
                                        SCCubeForm::RAW_VECTOR, true, false, report, nullptr)
                    .ok());
    EXPECT_TRUE(report.clipped);
    const SCOpenedCube opened = SCCubeProbe::open(dir.file("cube.rpl"));
    ASSERT_TRUE(opened.status.ok());
    std::vector<unsigned short> spectrum(5);
    opened.cube->readSpectrums(1, 0, 1, spectrum.data());
    EXPECT_EQ(spectrum[3], 3u);  // 2.5 rounds away from zero
    opened.cube->readSpectrums(0, 1, 1, spectrum.data());
    EXPECT_EQ(spectrum[0], 65535u);

    ASSERT_TRUE(SCRawImport::importCube(foreign("out_of_range_signed2.rpl"), dir.file("signed"),
                                        SCCubeForm::SCD, true, false, report, nullptr)
                    .ok());
    EXPECT_EQ(report.negative, 1u);
    const SCOpenedCube clipped = SCCubeProbe::open(dir.file("signed"));
    ASSERT_TRUE(clipped.status.ok());
    clipped.cube->readSpectrums(2, 1, 1, spectrum.data());
    EXPECT_EQ(spectrum[4], 0u);
    EXPECT_EQ(spectrum[3], matrixValue(2, 1, 3));
}

TEST(RawImport, SaysWhichHeadersAndDataItCannotRead) {
    const struct {
        const char* header;
        SCProblem problem;
    } cases[] = {
        {"height 2\ndepth 5\ndata-length 2\ndata-type signed\nbyte-order big-endian\n"
         "record-by vector\n",
         SCProblem::DAMAGED_HEADER},
        {"width 3\nheight two\ndepth 5\ndata-length 2\ndata-type signed\n"
         "byte-order big-endian\nrecord-by vector\n",
         SCProblem::DAMAGED_HEADER},
        {"width 3\nheight 2\ndepth 5\ndata-length 8\ndata-type complex\n"
         "byte-order big-endian\nrecord-by vector\n",
         SCProblem::UNSUPPORTED_LAYOUT},
        {"width 3\nheight 2\ndepth 5\ndata-length 2\ndata-type float\n"
         "byte-order big-endian\nrecord-by vector\n",
         SCProblem::UNSUPPORTED_LAYOUT},
        {"width 3\nheight 2\ndepth 5\ndata-length 3\ndata-type unsigned\n"
         "byte-order big-endian\nrecord-by vector\n",
         SCProblem::UNSUPPORTED_LAYOUT},
        {"width 3\nheight 2\ndepth 5\ndata-length 2\ndata-type unsigned\n"
         "byte-order middle-endian\nrecord-by vector\n",
         SCProblem::UNSUPPORTED_LAYOUT},
        {"width 3\nheight 2\ndepth 5\ndata-length 2\ndata-type unsigned\n"
         "byte-order big-endian\nrecord-by dont-care\n",
         SCProblem::UNSUPPORTED_LAYOUT},
        {"width 3\nheight 2\ndepth 5\noffset 10\ndata-length 1\ndata-type unsigned\n"
         "record-by vector\n",
         SCProblem::DAMAGED_DATA},
    };
    for (const auto& c : cases) {
        TempDir dir;
        writeFileText(dir.file("foreign.rpl"), c.header);
        writeFileText(dir.file("foreign.raw"), std::string(30, '\1'));
        SCRawImportReport report;
        const SCStatus status =
            SCRawImport::importCube(dir.file("foreign.rpl"), dir.file("cube"), SCCubeForm::SCD,
                                    true, false, report, nullptr);
        EXPECT_EQ(status.problem, c.problem) << c.header << status.message();
        EXPECT_EQ(filesIn(dir.path()).size(), 2u) << c.header;
    }
}

TEST(RawImport, ReadsHeadersLeniently) {
    TempDir dir;
    writeFileText(dir.file("foreign.rpl"),
                  "; comment\n  # another\nKEY\tVALUE\nWidth 9\nwidth\t3\nHEIGHT 2\nDepth 1\n"
                  "offset\ndata-LENGTH 1\ndata-type Unsigned\nbyte-order\nrecord-by\n"
                  "ev-per-chan 5 eV\n");
    SCForeignRawLayout layout;
    ASSERT_TRUE(SCRawImport::readLayout(dir.file("foreign.rpl"), layout).ok());
    EXPECT_EQ(layout.width, 3u);
    EXPECT_EQ(layout.height, 2u);
    EXPECT_EQ(layout.depth, 1u);
    EXPECT_EQ(layout.offset, 0u);
    EXPECT_EQ(layout.dataType, SCForeignRawLayout::UNSIGNED);
    EXPECT_EQ(layout.format, SCRawHeader::RECORD_BY_VECTOR);
    EXPECT_TRUE(layout.calibrated);
    EXPECT_EQ(layout.calibration.evPerChannel, 5.0);
    EXPECT_EQ(layout.describe(), "unsigned 1-byte little-endian values by vector");
}

}  // namespace

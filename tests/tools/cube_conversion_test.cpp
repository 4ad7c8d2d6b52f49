#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <fstream>

#include "sc_api/fragmented_scd_header.h"
#include "sc_api/raw_to_scd.h"
#include "sc_api/sc_cube_conversion.h"
#include "sc_api/sc_energy_calibration.h"
#include "sc_api/scd.h"
#include "support/cube_fixtures.h"
#include "support/raw_cube_files.h"
#include "support/scd_writers.h"

namespace {

using namespace test_support;

const SCCubeForm kSimpleForms[] = {SCCubeForm::RAW_VECTOR, SCCubeForm::RAW_IMAGE, SCCubeForm::SCD};
const SCCubeForm kAllForms[] = {SCCubeForm::RAW_VECTOR, SCCubeForm::RAW_IMAGE, SCCubeForm::SCD,
                                SCCubeForm::FRAGMENTED_SCD};

// Asks to stop at the n-th report.
class StopAfter : public SCProgress {
  public:
    explicit StopAfter(int reports) : left_(reports) {}
    bool advance(std::uint64_t done, std::uint64_t total) override {
        EXPECT_LE(done, total);
        return --left_ > 0;
    }

  private:
    int left_;
};

// Limits the size of every file this process writes while it lives; writes beyond it fail as
// on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

  private:
    rlimit previous_{};
    void (*previousHandler_)(int);
};

TEST(CubeConversion, RawToCompressedIsRawToSCDByteForByte) {
    for (SCCubeForm form : {SCCubeForm::RAW_VECTOR, SCCubeForm::RAW_IMAGE}) {
        TempDir dir;
        const std::string name = writeSmallCube(dir.file("raw"), form);
        ASSERT_EQ(RawToSCD::encode(dir.file("raw"), dir.file("expected")), SC_OK);
        ASSERT_TRUE(
            SCCubeConversion::convert(name, dir.file("out"), SCCubeForm::SCD, false, nullptr).ok());
        EXPECT_TRUE(sameSCDFiles(dir.file("out"), dir.file("expected"))) << scCubeFormText(form);
    }
}

TEST(CubeConversion, EveryFormBecomesEverySimpleFormWithTheSameSpectraAndCalibration) {
    for (SCCubeForm from : kAllForms) {
        for (SCCubeForm to : kSimpleForms) {
            TempDir dir;
            const std::string input = writeSmallCube(dir.file("in"), from);
            SCEnergyCalibration{20.0, -100.0}.write(dir.file("in"));
            const SCStatus status =
                SCCubeConversion::convert(input, dir.file("out"), to, false, nullptr);
            ASSERT_TRUE(status.ok()) << status.message();
            const std::string output = SCCubeProbe::outputFiles(dir.file("out"), to).front();
            const SCOpenedCube opened = SCCubeProbe::open(output);
            ASSERT_TRUE(opened.status.ok()) << opened.status.message();
            EXPECT_EQ(opened.form, to);
            EXPECT_TRUE(sameSpectra(input, output))
                << scCubeFormText(from) << " to " << scCubeFormText(to);
            SCEnergyCalibration copied;
            ASSERT_TRUE(SCEnergyCalibration::read(dir.file("out"), copied));
            EXPECT_EQ(copied.evPerChannel, 20.0);
            EXPECT_EQ(copied.offsetEv, -100.0);
        }
    }
}

TEST(CubeConversion, ReplacesOnlyWhenAskedAndNeverItsInput) {
    TempDir dir;
    const std::string input = writeSmallCube(dir.file("in"), SCCubeForm::RAW_VECTOR);
    writeFileText(dir.file("out.scdh"), "an older cube");
    SCStatus status =
        SCCubeConversion::convert(input, dir.file("out"), SCCubeForm::SCD, false, nullptr);
    EXPECT_EQ(status.problem, SCProblem::OUTPUT_EXISTS);
    EXPECT_EQ(status.file, dir.file("out.scdh"));
    EXPECT_EQ(readFileText(dir.file("out.scdh")), "an older cube");
    EXPECT_TRUE(
        SCCubeConversion::convert(input, dir.file("out"), SCCubeForm::SCD, true, nullptr).ok());
    EXPECT_TRUE(sameSpectra(input, dir.file("out.scdh")));

    const std::set<std::string> before = filesIn(dir.path());
    for (SCCubeForm to : {SCCubeForm::RAW_VECTOR, SCCubeForm::RAW_IMAGE}) {
        status = SCCubeConversion::convert(input, dir.file("in"), to, true, nullptr);
        EXPECT_EQ(status.problem, SCProblem::SAME_INPUT_OUTPUT);
    }
    EXPECT_EQ(
        SCCubeConversion::convert(input, dir.file("x"), SCCubeForm::FRAGMENTED_SCD, true, nullptr)
            .problem,
        SCProblem::INVALID_ARGUMENT);
    EXPECT_EQ(filesIn(dir.path()), before);
    EXPECT_TRUE(sameSpectra(input, dir.file("out.scdh")));
}

TEST(CubeConversion, AnInterruptedConversionLeavesNothing) {
    for (SCCubeForm from : {SCCubeForm::RAW_VECTOR, SCCubeForm::SCD}) {
        for (SCCubeForm to : kSimpleForms) {
            TempDir dir;
            const std::string input = writeSmallCube(dir.file("in"), from);
            const std::set<std::string> before = filesIn(dir.path());
            StopAfter stop(2);
            EXPECT_EQ(SCCubeConversion::convert(input, dir.file("out"), to, false, &stop).problem,
                      SCProblem::INTERRUPTED);
            EXPECT_EQ(filesIn(dir.path()), before)
                << scCubeFormText(from) << " to " << scCubeFormText(to);
        }
    }
}

TEST(CubeConversion, AFullDiskOrAMissingDirectoryLeavesNothing) {
    TempDir dir;
    const ReferenceCube cube = randomCube(CubeKind::kDense, 24, 20, 200, 20, 7);
    ASSERT_TRUE(encodeWithBatch(dir.file("dense"), cube));
    const std::set<std::string> before = filesIn(dir.path());
    for (SCCubeForm to : kSimpleForms) {
        SCStatus status;
        {
            FileSizeLimit limit(16 * 1024);
            status =
                SCCubeConversion::convert(dir.file("dense"), dir.file("out"), to, false, nullptr);
        }
        EXPECT_EQ(status.problem, SCProblem::WRITE_FAILED) << scCubeFormText(to);
        EXPECT_EQ(status.file, SCCubeProbe::outputFiles(dir.file("out"), to).front());
        EXPECT_EQ(filesIn(dir.path()), before) << scCubeFormText(to);
    }
    const SCStatus status = SCCubeConversion::convert(dir.file("dense"), dir.file("no/such/out"),
                                                      SCCubeForm::SCD, false, nullptr);
    EXPECT_EQ(status.problem, SCProblem::MISSING_FILE);
    EXPECT_EQ(status.file, dir.file("no/such/out.scdh"));
}

// An empty fragmented cube may claim billions of channels: a raw output could never be opened,
// and a compressed one would hold 8 bytes per claimed channel in its index. Either is refused
// at once, creating nothing; the encoder checks its indexes against the machine's memory.
TEST(CubeConversion, AnEmptyCubeOfBillionsOfChannelsIsRefusedAtOnce) {
    TempDir dir;
    {
        std::ofstream header(dir.file("empty.scdh"), std::ios::binary);
        ASSERT_EQ(FragmentedSCDHeader(0, 0, 4'000'000'000u, 1.0f).write(header), SC_OK);
    }
    const std::set<std::string> before = filesIn(dir.path());
    for (SCCubeForm to : {SCCubeForm::RAW_VECTOR, SCCubeForm::RAW_IMAGE}) {
        const SCStatus status =
            SCCubeConversion::convert(dir.file("empty"), dir.file("out"), to, false, nullptr);
        EXPECT_EQ(status.problem, SCProblem::UNSUPPORTED_LAYOUT) << scCubeFormText(to);
        EXPECT_NE(status.detail.find("0 x 0 x 4000000000"), std::string::npos) << status.detail;
    }
    ReferenceCube huge;
    huge.width = huge.height = huge.depth = 0xFFFFFFFFu;
    MemorySpectrumReader reader(huge);
    EXPECT_EQ(SCD::encode(reader, dir.file("out")), SC_ALLOCATION_ERROR);
    EXPECT_TRUE(reader.requestedCounts.empty());
    EXPECT_EQ(filesIn(dir.path()), before);
}

}  // namespace

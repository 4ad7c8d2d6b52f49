#include <gtest/gtest.h>

#include <set>
#include <string>

#include "sc_api/sc_energy_calibration.h"
#include "sc_api/sc_error_code.h"
#include "sc_api/sc_error_text.h"
#include "sc_api/sc_status.h"
#include "support/temp_dir.h"

namespace {

using test_support::TempDir;
using test_support::writeFileText;

TEST(EnergyCalibration, ChoosesTheChannelsWhoseCentreLiesInAnInterval) {
    const SCEnergyCalibration scale{10.0, 5.0};  // channel c centred on 5 + 10c eV
    unsigned first = 99;
    unsigned count = 99;
    ASSERT_TRUE(scale.channelsBetween(6300.0, 6500.0, 2048, first, count));
    EXPECT_EQ(first, 630u);  // 6305 eV
    EXPECT_EQ(count, 20u);   // up to 6495 eV
    ASSERT_TRUE(scale.channelsBetween(-1000.0, 25.0, 2048, first, count));
    EXPECT_EQ(first, 0u);
    EXPECT_EQ(count, 3u);
    ASSERT_TRUE(scale.channelsBetween(20000.0, 1e9, 2048, first, count));
    EXPECT_EQ(first, 2000u);  // 20005 eV
    EXPECT_EQ(count, 48u);
    EXPECT_FALSE(scale.channelsBetween(6301.0, 6304.0, 2048, first, count));
    EXPECT_FALSE(scale.channelsBetween(500.0, 400.0, 2048, first, count));
    EXPECT_FALSE(scale.channelsBetween(1e6, 2e6, 2048, first, count));
    EXPECT_FALSE((SCEnergyCalibration{0.0, 0.0}).channelsBetween(0, 100, 2048, first, count));
    EXPECT_EQ(first, 2000u);
}

TEST(EnergyCalibration, ReadsWhatItWritesAndRefusesScalesThatMeanNothing) {
    TempDir dir;
    ASSERT_TRUE((SCEnergyCalibration{9.987654321, -123.25}).write(dir.file("cube")).ok());
    SCEnergyCalibration read;
    ASSERT_TRUE(SCEnergyCalibration::read(dir.file("cube"), read));
    EXPECT_EQ(read.evPerChannel, 9.987654321);
    EXPECT_EQ(read.offsetEv, -123.25);
    for (const char* text : {"ev-per-channel 0", "ev-per-channel -3", "ev-per-channel ten",
                             "offset-ev 5", "ev-per-channel nan", ""}) {
        writeFileText(dir.file("bad.calibration"), text);
        SCEnergyCalibration untouched{1.0, 2.0};
        EXPECT_FALSE(SCEnergyCalibration::read(dir.file("bad"), untouched)) << text;
        EXPECT_EQ(untouched.evPerChannel, 1.0);
    }
    EXPECT_FALSE(SCEnergyCalibration::read(dir.file("absent"), read));
}

TEST(StatusText, EveryProblemAndErrorCodeHasItsOwnWords) {
    std::set<std::string> texts;
    for (int problem = 0; problem <= static_cast<int>(SCProblem::INTERRUPTED); ++problem) {
        texts.insert(scProblemText(static_cast<SCProblem>(problem)));
    }
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(SCProblem::INTERRUPTED) + 1);
    texts.clear();
    for (int code : {0, -1, -3, -4, -5, -2}) {
        texts.insert(scErrorText(code));
    }
    EXPECT_EQ(texts.size(), 6u);
    EXPECT_EQ(SCStatus(SCProblem::MISSING_FILE, "a.scdh").message(), "a.scdh: missing file");
    EXPECT_EQ(SCStatus(SCProblem::DAMAGED_HEADER, "a.rpl", "no \"width\" key").message(),
              "a.rpl: damaged header: no \"width\" key");
    EXPECT_EQ(SCStatus(SCProblem::INTERRUPTED, "").message(), "interrupted");
}

}  // namespace

// Interrupted acquisitions: a builder's process killed mid-acquisition leaves temporaries from
// which SCD::recover makes the cube of every stored line; the journal locks the cube against a
// second builder.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sc_api/fragmented_scd_builder.h"
#include "sc_api/scd.h"
#include "support/fragmented_cube_files.h"
#include "support/scd_cube_checks.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

extern char** environ;

using namespace test_support;

namespace {

constexpr unsigned kWidth = 12, kHeight = 40, kDepth = 30;
// Lines the killed child must have reported stored before it is killed.
constexpr unsigned kLinesBeforeKill = 9;
// What the acquiring child builds, read from its environment.
constexpr const char* kChildKind = "SC_API_ACQUIRING_CHILD";
constexpr const char* kChildBase = "SC_API_ACQUIRING_BASE";
// The descriptor on which the child reports each stored line.
constexpr int kReportFd = 3;

ReferenceCube sourceCube(unsigned storedLines) {
    return makeReferenceCube(kWidth, kHeight, kDepth, storedLines, variedCount, 0.5f);
}

// The fragmented cube of the test: area 1, the left part, whole; area 2, the right part, taking
// `storedLines` lines.
FragmentedCubeModel fragmentedSource(unsigned storedLines) {
    FragmentedCubeModel model{kWidth, kHeight, kDepth, 1.0f, {}};
    model.areas.push_back({Rect{0, 0, 5, kHeight}, kHeight});
    model.areas.push_back({Rect{5, 0, kWidth - 5, kHeight}, storedLines});
    return model;
}

void reportLine(unsigned y) {
    const ssize_t written = ::write(kReportFd, &y, sizeof y);
    (void)written;
}

// Runs `kind` ("simple" or "fragmented") as a child acquisition that never finishes: after
// each line it reports the line and pauses, longer once the parent may kill it, so that it is
// killed mid-acquisition however slow the machine.
void acquireUntilKilled(const std::string& kind, const std::string& base) {
    unsigned reported = 0;
    const auto pause = [&reported] {
        const bool killable = ++reported >= kLinesBeforeKill;
        std::this_thread::sleep_for(std::chrono::milliseconds(killable ? 300 : 5));
    };
    if (kind == "simple") {
        const ReferenceCube cube = sourceCube(kHeight);
        auto builder = SCD::getBuilder(base, kWidth, kHeight, kDepth, cube.factor);
        for (unsigned y = 0; builder && y < kHeight; ++y) {
            ASSERT_EQ(builder->addSpectrumLine(cube.values.data() + y * kWidth * kDepth), SC_OK);
            reportLine(y);
            pause();
        }
    } else {
        const FragmentedCubeModel model = fragmentedSource(kHeight);
        FragmentedSCDBuilder builder(base, kWidth, kHeight, kDepth, model.factor);
        for (unsigned area = 1; area <= 2; ++area) {
            ASSERT_EQ(builder.startNewArea(model.areas[area - 1].rect), SC_OK);
            for (unsigned y = 0; y < kHeight; ++y) {
                ASSERT_EQ(builder.addSpectrumLine(model.areaLine(area, y).data()), SC_OK);
                if (area == 2) {
                    reportLine(y);
                    pause();
                }
            }
        }
    }
    std::this_thread::sleep_for(std::chrono::minutes(5));
}

// Starts this test program as an acquiring child of `kind` building `base`, waits until it has
// reported kLinesBeforeKill lines, kills it with SIGKILL and returns the lines it reported in
// all.
unsigned acquireAndKill(const std::string& kind, const std::string& base) {
    int report[2];
    EXPECT_EQ(::pipe(report), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // In this order: the reading end may itself be kReportFd.
    posix_spawn_file_actions_addclose(&actions, report[0]);
    posix_spawn_file_actions_adddup2(&actions, report[1], kReportFd);
    const std::string filter = "--gtest_filter=SCDRecoverChild.DISABLED_Acquire";
    std::vector<std::string> args = {"/proc/self/exe", filter, "--gtest_also_run_disabled_tests"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    ::setenv(kChildKind, kind.c_str(), 1);
    ::setenv(kChildBase, base.c_str(), 1);
    pid_t child = 0;
    const int spawned =
        posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::unsetenv(kChildKind);
    ::unsetenv(kChildBase);
    ::close(report[1]);
    EXPECT_EQ(spawned, 0);
    unsigned reported = 0;
    const auto readReport = [&] {
        unsigned line = 0;
        if (::read(report[0], &line, sizeof line) != sizeof line) {
            return false;
        }
        reported = line + 1;
        return true;
    };
    pollfd readable{report[0], POLLIN, 0};
    while (spawned == 0 && reported < kLinesBeforeKill && ::poll(&readable, 1, 60000) == 1 &&
           readReport()) {
    }
    if (spawned == 0) {
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "the child ended before it was killed";
        // The lines stored between the last report read and the kill.
        while (readReport()) {
        }
    }
    ::close(report[0]);
    EXPECT_GE(reported, kLinesBeforeKill) << "the child stopped reporting";
    EXPECT_LT(reported, kHeight) << "the child finished before it was killed";
    return reported;
}

}  // namespace

// The body of the acquiring child; runs only when started by acquireAndKill.
TEST(SCDRecoverChild, DISABLED_Acquire) {
    const char* kind = std::getenv(kChildKind);
    const char* base = std::getenv(kChildBase);
    ASSERT_TRUE(kind != nullptr && base != nullptr);
    acquireUntilKilled(kind, base);
}

TEST(SCDRecover, AKilledSimpleAcquisitionIsRecoveredLineForLine) {
    TempDir dir;
    const std::string base = dir.file("cube");
    const unsigned reported = acquireAndKill("simple", base);
    EXPECT_FALSE(openSCDCube(base)) << "no cube before recovery";

    const int recovered = SCD::recover(base);
    // The child may have stored one line more than it reported before it died.
    ASSERT_GE(recovered, static_cast<int>(reported));
    ASSERT_LE(recovered, static_cast<int>(reported) + 1);
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_TRUE(readsExactly(*cube, sourceCube(static_cast<unsigned>(recovered))));
    EXPECT_FALSE(cube->isAcquired(0, static_cast<unsigned>(recovered)));
    EXPECT_EQ(filesIn(dir.path()), (std::set<std::string>{"cube.scdh", "cube.scds", "cube.scdi"}));
    EXPECT_EQ(SCD::recover(base), SC_FILE_ERROR) << "nothing left to recover";
}

TEST(SCDRecover, AKilledFragmentedAcquisitionKeepsItsFinishedAreasAndRecoversTheLast) {
    TempDir dir;
    const std::string base = dir.file("tiles");
    const unsigned reported = acquireAndKill("fragmented", base);

    const int recovered = SCD::recover(base);
    ASSERT_GE(recovered, static_cast<int>(reported));
    ASSERT_LE(recovered, static_cast<int>(reported) + 1);
    const FragmentedCubeModel expected = fragmentedSource(static_cast<unsigned>(recovered));
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    std::vector<unsigned short> spectrum(kDepth);
    for (unsigned y = 0; y < kHeight; ++y) {
        for (unsigned x = 0; x < kWidth; ++x) {
            ASSERT_EQ(cube->isAcquired(x, y), expected.areaOf(x, y) != 0) << x << ", " << y;
            ASSERT_EQ(cube->readSpectrums(x, y, 1, spectrum.data()), SC_OK);
            for (unsigned c = 0; c < kDepth; ++c) {
                ASSERT_EQ(spectrum[c], expected.spectrumCount(x, y, c)) << x << ", " << y;
            }
        }
    }
}

// Recovery writes exactly what close() would have written for the same lines.
TEST(SCDRecover, RecoveringAnAbandonedBuilderGivesTheCubeCloseWouldHaveWritten) {
    TempDir dir;
    const ReferenceCube cube = sourceCube(17);
    ASSERT_TRUE(buildWithBuilder(dir.file("closed"), cube));
    {
        auto builder = SCD::getBuilder(dir.file("abandoned"), kWidth, kHeight, kDepth, 0.5f);
        ASSERT_TRUE(builder);
        for (unsigned y = 0; y < cube.acquiredLines; ++y) {
            ASSERT_EQ(builder->addSpectrumLine(cube.values.data() + y * kWidth * kDepth), SC_OK);
        }
        EXPECT_EQ(SCD::recover(dir.file("abandoned")), SC_FILE_ERROR) << "the builder holds it";
    }
    EXPECT_EQ(SCD::recover(dir.file("abandoned")), 17);
    EXPECT_TRUE(sameSCDFiles(dir.file("abandoned"), dir.file("closed")));
}

// A damaged journal claims dimensions that its temporaries cannot hold: the recovery refuses at
// once, keeping every temporary, instead of coding by the claims (and exhausting the machine,
// or losing the stored lines). With the journal mended, the lines are all there.
TEST(SCDRecover, ADamagedJournalIsRefusedAndLosesNothing) {
    TempDir dir;
    const ReferenceCube cube = sourceCube(17);
    ASSERT_TRUE(buildWithBuilder(dir.file("closed"), cube));
    const std::string base = dir.file("abandoned");
    {
        auto builder = SCD::getBuilder(base, kWidth, kHeight, kDepth, 0.5f);
        ASSERT_TRUE(builder);
        for (unsigned y = 0; y < cube.acquiredLines; ++y) {
            ASSERT_EQ(builder->addSpectrumLine(cube.values.data() + y * kWidth * kDepth), SC_OK);
        }
    }
    const std::string journalPath = base + "__tmp_journal";
    const std::string journal = readFileText(journalPath);
    const std::set<std::string> temporaries = filesIn(dir.path());
    // Byte offsets of the journal's width, height and depth, and what they are made to claim.
    const struct {
        std::size_t offset;
        std::uint32_t claim;
    } damages[] = {{8, 0xFFFFFFFFu}, {12, 0xFFFFFFFFu}, {16, 0xFFFFFFFFu}, {8, 0}, {16, 0}};
    for (const auto& damage : damages) {
        for (bool withImageFile : {true, false}) {
            std::string damaged = journal;
            for (int i = 0; i < 4; ++i) {
                damaged[damage.offset + i] = static_cast<char>(damage.claim >> (8 * i));
            }
            writeFileText(journalPath, damaged);
            std::string imageFile;
            if (!withImageFile) {
                imageFile = readFileText(base + "__tmp_image_file.raw");
                std::remove((base + "__tmp_image_file.raw").c_str());
            }
            const int result = SCD::recover(base);
            EXPECT_TRUE(result == SC_FORMAT_ERROR || result == SC_ALLOCATION_ERROR)
                << result << " for " << damage.claim << " at " << damage.offset;
            if (!withImageFile) {
                writeFileText(base + "__tmp_image_file.raw", imageFile);
            }
            EXPECT_EQ(filesIn(dir.path()), temporaries);
        }
    }
    writeFileText(journalPath, journal);
    EXPECT_EQ(SCD::recover(base), 17);
    EXPECT_TRUE(sameSCDFiles(base, dir.file("closed")));
}

TEST(SCDRecover, ASecondBuilderOfACubeBeingBuiltIsRefused) {
    TempDir dir;
    const std::string base = dir.file("cube");
    auto first = SCD::getBuilder(base, 4, 3, 5, 1.0f);
    ASSERT_TRUE(first);
    EXPECT_FALSE(SCD::getBuilder(base, 4, 3, 5, 1.0f));
    FragmentedSCDBuilder fragmented(dir.file("tiles"), 8, 3, 5, 1.0f);
    ASSERT_EQ(fragmented.startNewArea(Rect{0, 0, 4, 3}), SC_OK);
    EXPECT_FALSE(SCD::getBuilder(dir.file("tiles.1"), 4, 3, 5, 1.0f));

    const std::vector<unsigned short> line(4 * 5, 7);
    ASSERT_EQ(first->addSpectrumLine(line.data()), SC_OK);
    ASSERT_EQ(first->close(), SC_OK);
    auto next = SCD::getBuilder(base, 4, 3, 5, 1.0f);
    EXPECT_TRUE(next) << "free again once the first is closed";
}

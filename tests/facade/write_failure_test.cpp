// Failures of the disk while cubes are written: every write, seek, truncate, sync and
// publication of a small build and of a conversion made to fail in turn through the file
// streams' seam, a real limit on file sizes and a real small file system. Whatever fails, the call
// reports it, no cube that opens holds anything but the data it was given, and what was stored can
// be completed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "io/fault_injection.h"
#include "sc_api/raw_to_scd.h"
#include "sc_api/sc_raw_io.h"
#include "sc_api/scd.h"
#include "support/raw_cube_files.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

constexpr unsigned kWidth = 5, kHeight = 4, kDepth = 6;

ReferenceCube sourceCube(unsigned storedLines) {
    return makeReferenceCube(kWidth, kHeight, kDepth, storedLines, variedCount);
}

int errorForPoint(std::uint64_t point) {
    return point % 2 == 0 ? ENOSPC : EIO;
}

// What a build with SCD::getBuilder reported.
struct BuildOutcome {
    bool builderMade = false;
    unsigned linesStored = 0;  // lines accepted before the first refused one
    bool lineFailed = false;
    int closed = SC_OK;
    bool reported() const { return !builderMade || lineFailed || closed != SC_OK; }
};

BuildOutcome buildCube(const std::string& base,
                       SharedPtr<SCFileBuilder, SCDeleteFileBuilder>& builder) {
    const ReferenceCube cube = sourceCube(kHeight);
    BuildOutcome outcome;
    builder = SCD::getBuilder(base, kWidth, kHeight, kDepth, cube.factor);
    outcome.builderMade = static_cast<bool>(builder);
    for (unsigned y = 0; builder && y < kHeight; ++y) {
        const int added = builder->addSpectrumLine(cube.values.data() + y * kWidth * kDepth);
        if (added == SC_OK && !outcome.lineFailed) {
            ++outcome.linesStored;
        } else {
            EXPECT_EQ(added, SC_WRITE_ERROR);
            outcome.lineFailed = true;
        }
    }
    outcome.closed = builder ? builder->close() : SC_FILE_ERROR;
    return outcome;
}

// A tmpfs of `bytes` mounted at `path` for the life of the object, when this process may mount
// one (root with the capability to mount); mounted() says whether it is there.
class SmallFileSystem {
  public:
    SmallFileSystem(const std::string& path, std::size_t bytes) : path_(path) {
        std::filesystem::create_directory(path);
        const std::string options = "size=" + std::to_string(bytes);
        mounted_ =
            ::mount("tmpfs", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) {
            ::umount2(path_.c_str(), MNT_DETACH);
        }
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // Removes every file in it.
    void empty() const {
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            std::filesystem::remove(entry.path());
        }
    }

  private:
    std::string path_;
    bool mounted_ = false;
};

// Makes `filler` take all the room of its file system but `freeBytes`.
bool fillAllBut(const std::string& filler, std::uint64_t freeBytes) {
    const int descriptor = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        return false;
    }
    const std::vector<char> page(4096, 1);
    while (::write(descriptor, page.data(), page.size()) > 0) {
    }
    const off_t size = ::lseek(descriptor, 0, SEEK_END);
    const bool filled = size >= static_cast<off_t>(freeBytes) &&
                        ::ftruncate(descriptor, size - static_cast<off_t>(freeBytes)) == 0;
    ::close(descriptor);
    return filled;
}

}  // namespace

TEST(WriteFailures, EveryFailingOperationOfALineBuildIsReportedAndTheLinesStoredAreKept) {
    std::uint64_t operations = 0;
    {
        TempDir dir;
        SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builder;
        fault_injection::countOperations();
        const BuildOutcome outcome = buildCube(dir.file("cube"), builder);
        operations = fault_injection::disarm();
        ASSERT_FALSE(outcome.reported());
    }
    ASSERT_GT(operations, 20u);
    for (std::uint64_t point = 1; point <= operations; ++point) {
        SCOPED_TRACE("failing operation " + std::to_string(point));
        TempDir dir;
        const std::string base = dir.file("cube");
        SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builder;
        fault_injection::failOperation(point, errorForPoint(point));
        const BuildOutcome outcome = buildCube(base, builder);
        fault_injection::disarm();
        // A failure that loses nothing (of the copy kept for counting) need not be reported:
        // the cube is then whole and exact below.
        if (!outcome.reported()) {
            EXPECT_EQ(outcome.linesStored, kHeight);
        }
        if (!outcome.builderMade) {
            EXPECT_TRUE(filesIn(dir.path()).empty());
            continue;
        }
        if (outcome.closed == SC_OK) {
            auto cube = openSCDCube(base);
            ASSERT_TRUE(cube);
            EXPECT_TRUE(readsExactly(*cube, sourceCube(outcome.linesStored)));
            continue;
        }
        EXPECT_FALSE(openSCDCube(base)) << "a failed close leaves no header";
        if (point % 3 == 0) {
            builder.reset();  // the process gives up: the temporaries are recovered
            EXPECT_EQ(SCD::recover(base), static_cast<int>(outcome.linesStored));
        } else {
            ASSERT_EQ(builder->close(), SC_OK) << "close again once the disk works";
        }
        auto cube = openSCDCube(base);
        ASSERT_TRUE(cube);
        EXPECT_TRUE(readsExactly(*cube, sourceCube(outcome.linesStored)));
        EXPECT_EQ(filesIn(dir.path()),
                  (std::set<std::string>{"cube.scdh", "cube.scds", "cube.scdi"}));
    }
}

TEST(WriteFailures, EveryFailingOperationOfAConversionIsReportedAndLeavesNoCube) {
    TempDir source;
    const std::string raw = source.file("raw");
    writeRawCube(raw, kWidth, kHeight, kDepth, SCRawHeader::RECORD_BY_VECTOR,
                 [](unsigned x, unsigned y, unsigned c) { return variedCount(x, y, c); });
    std::uint64_t operations = 0;
    {
        TempDir dir;
        fault_injection::countOperations();
        ASSERT_EQ(RawToSCD::encode(raw, dir.file("cube")), SC_OK);
        operations = fault_injection::disarm();
    }
    ASSERT_GT(operations, 5u);
    for (std::uint64_t point = 1; point <= operations; ++point) {
        SCOPED_TRACE("failing operation " + std::to_string(point));
        TempDir dir;
        const std::string base = dir.file("cube");
        fault_injection::failOperation(point, errorForPoint(point));
        const int result = RawToSCD::encode(raw, base);
        fault_injection::disarm();
        EXPECT_NE(result, SC_OK);
        EXPECT_FALSE(openSCDCube(base));
        EXPECT_TRUE(filesIn(dir.path()).empty()) << "nothing left behind";
    }
}

// A real limit: files may not grow beyond the size of the temporary image file, so the
// compressed spectrum file (a 4-byte length per single-channel spectrum) cannot be written.
TEST(WriteFailures, AFullDiskDuringCloseIsReportedAndCloseSucceedsOnceThereIsRoom) {
    constexpr unsigned w = 64, h = 64, d = 1;
    const ReferenceCube cube = makeReferenceCube(w, h, d, h, variedCount);
    TempDir dir;
    writeRawCube(dir.file("raw"), w, h, d, SCRawHeader::RECORD_BY_VECTOR,
                 [&](unsigned x, unsigned y, unsigned c) { return cube.count(x, y, c); });
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &original), 0);
    rlimit limited = original;
    limited.rlim_cur = w * h * d * 2;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);

    auto builder = SCD::getBuilder(dir.file("cube"), w, h, d, cube.factor);
    ASSERT_TRUE(builder);
    for (unsigned y = 0; y < h; ++y) {
        ASSERT_EQ(builder->addSpectrumLine(cube.values.data() + y * w * d), SC_OK);
    }
    EXPECT_EQ(builder->close(), SC_WRITE_ERROR);
    EXPECT_FALSE(openSCDCube(dir.file("cube")));
    EXPECT_EQ(RawToSCD::encode(dir.file("raw"), dir.file("converted")), SC_WRITE_ERROR);
    EXPECT_FALSE(openSCDCube(dir.file("converted")));
    auto rawBuilder = SCRawIO::getBuilder(dir.file("rawcopy"),
                                          SCRawHeader(w, h, d, SCRawHeader::RECORD_BY_VECTOR));
    ASSERT_TRUE(rawBuilder);
    unsigned rawLines = 0;
    while (rawLines < h &&
           rawBuilder->addSpectrumLine(cube.values.data() + rawLines * w * d) == SC_OK) {
        ++rawLines;
    }
    EXPECT_EQ(rawLines, h / 2) << "4-byte values: half the lines fit";

    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &original), 0);
    ASSERT_EQ(builder->close(), SC_OK);
    auto built = openSCDCube(dir.file("cube"));
    ASSERT_TRUE(built);
    EXPECT_TRUE(readsExactly(*built, cube));
    for (; rawLines < h; ++rawLines) {
        ASSERT_EQ(rawBuilder->addSpectrumLine(cube.values.data() + rawLines * w * d), SC_OK);
    }
    ASSERT_EQ(rawBuilder->close(), SC_OK);
    ASSERT_EQ(RawToSCD::encode(dir.file("rawcopy"), dir.file("converted")), SC_OK);
    auto converted = openSCDCube(dir.file("converted"));
    ASSERT_TRUE(converted);
    EXPECT_TRUE(readsExactly(*converted, cube));
}

// A real small file system, filled but for a few pages, so that the build runs out of room at
// a different step for each amount left: wherever it does, the failure is reported, no cube
// opens until the build is complete, and once room is made close completes the cube with every
// line that was stored.
TEST(WriteFailures, ARealFullFileSystemIsReportedWhereverItFillsAndLosesNoStoredLine) {
    TempDir dir;
    const SmallFileSystem fs(dir.file("fs"), 64 * 1024);
    if (!fs.mounted()) {
        GTEST_SKIP() << "this process may not mount a file system";
    }
    bool failed = false;
    bool completed = false;
    for (unsigned freePages = 0; freePages <= 12; ++freePages) {
        SCOPED_TRACE(std::to_string(freePages) + " pages free");
        const std::string base = fs.file("cube");
        ASSERT_TRUE(fillAllBut(fs.file("filler"), freePages * 4096u));
        SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builder;
        const BuildOutcome outcome = buildCube(base, builder);
        if (outcome.builderMade && outcome.closed != SC_OK) {
            EXPECT_FALSE(openSCDCube(base)) << "a failed close leaves no cube";
        }
        ASSERT_TRUE(std::filesystem::remove(fs.file("filler")));
        if (!outcome.builderMade) {
            EXPECT_TRUE(filesIn(fs.file("")).empty());
            failed = true;
            continue;
        }
        if (outcome.closed != SC_OK) {
            failed = true;
            ASSERT_EQ(builder->close(), SC_OK) << "close again once there is room";
        } else {
            completed = completed || !outcome.reported();
        }
        builder.reset();
        auto cube = openSCDCube(base);
        ASSERT_TRUE(cube);
        EXPECT_TRUE(readsExactly(*cube, sourceCube(outcome.linesStored)));
        cube.reset();
        fs.empty();
    }
    EXPECT_TRUE(failed && completed) << "the sweep runs from a full disk to enough room";
}

// The exports read their source whole before they publish anything: a damaged source is
// reported and leaves no raw cube behind.
TEST(WriteFailures, SavingADamagedCubeAsRawIsReportedAndLeavesNothing) {
    TempDir dir;
    const ReferenceCube cube = sourceCube(kHeight);
    const ReferenceSCDLayout layout = writeReferenceSCD(dir.file("cube"), cube).value();
    overwriteFileBytes(dir.file("cube.scdi"), layout.images[2].offset, littleEndian32(0));
    overwriteFileBytes(dir.file("cube.scds"), layout.spectra[7].offset, littleEndian32(0));
    auto damaged = openSCDCube(dir.file("cube"));
    ASSERT_TRUE(damaged);
    for (const auto format : {SCRawHeader::RECORD_BY_IMAGE, SCRawHeader::RECORD_BY_VECTOR}) {
        EXPECT_EQ(SCRawIO::saveSCCube(dir.file("raw"), *damaged, format), SC_FORMAT_ERROR);
        EXPECT_FALSE(fileExists(dir.file("raw.rpl")) || fileExists(dir.file("raw.raw")));
    }
}

// Flushing to the device every few lines changes nothing in what is written.
TEST(WriteFailures, SyncingEveryFewLinesWritesTheSameCube) {
    TempDir dir;
    const ReferenceCube cube = sourceCube(3);
    ASSERT_TRUE(buildWithBuilder(dir.file("plain"), cube));
    auto builder = SCD::getBuilder(dir.file("synced"), kWidth, kHeight, kDepth, cube.factor, 2);
    ASSERT_TRUE(builder);
    for (unsigned y = 0; y < cube.acquiredLines; ++y) {
        ASSERT_EQ(builder->addSpectrumLine(cube.values.data() + y * kWidth * kDepth), SC_OK);
    }
    ASSERT_EQ(builder->close(), SC_OK);
    EXPECT_TRUE(sameSCDFiles(dir.file("synced"), dir.file("plain")));
}

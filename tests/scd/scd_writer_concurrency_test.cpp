#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "sc_api/raw_to_scd.h"
#include "sc_api/scd.h"
#include "support/eventually.h"
#include "support/raw_cube_files.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

constexpr int kWriters = 24;  // builders, SCD::encode and RawToSCD::encode calls at once
constexpr int kReaders = 4;   // readers of finished cubes meanwhile

// Small cubes of every kind, each with its reference files and a raw copy.
struct Fixture {
    explicit Fixture(const TempDir& dir) {
        const CubeKind kinds[] = {CubeKind::kRandomRuns, CubeKind::kSparse, CubeKind::kDense};
        for (int i = 0; i < 3; ++i) {
            cubes.push_back(randomCube(kinds[i], 6, 5, 48 + 8 * i, 5, 500 + i));
            references.push_back(dir.file("reference" + std::to_string(i)));
            raws.push_back(dir.file("raw" + std::to_string(i)));
        }
        for (int i = 0; i < 3; ++i) {
            const ReferenceCube& cube = cubes[i];
            EXPECT_TRUE(writeReferenceSCD(references[i], cube));
            writeRawCube(raws[i], cube.width, cube.height, cube.depth,
                         i % 2 == 0 ? SCRawHeader::RECORD_BY_VECTOR : SCRawHeader::RECORD_BY_IMAGE,
                         [&cube](unsigned x, unsigned y, unsigned c) {
                             return std::uint32_t{cube.count(x, y, c)};
                         });
        }
    }

    std::vector<ReferenceCube> cubes;
    std::vector<std::string> references;
    std::vector<std::string> raws;
};

// Writes cube `index % 3` by the writer of kind `index % 3` and compares it with the reference.
::testing::AssertionResult writeOne(const Fixture& fixture, const std::string& base, int index) {
    const int cube = index % 3;
    ::testing::AssertionResult written = ::testing::AssertionSuccess();
    switch ((index / 3) % 3) {
        case 0:
            written = buildWithBuilder(base, fixture.cubes[cube]);
            break;
        case 1:
            written = encodeWithBatch(base, fixture.cubes[cube]);
            break;
        default:
            if (RawToSCD::encode(fixture.raws[cube], base) != SC_OK) {
                written = ::testing::AssertionFailure() << "RawToSCD::encode failed";
            }
            break;
    }
    return written ? sameSCDFiles(base, fixture.references[cube]) : written;
}

TEST(WriterConcurrency, ManyBuildersEncodersAndReadersRunAtOnceWithoutDeadlock) {
    TempDir dir;
    const Fixture fixture(dir);
    std::latch start(kWriters + kReaders);
    std::atomic<int> finished{0};
    std::vector<::testing::AssertionResult> results(kWriters + kReaders,
                                                    ::testing::AssertionSuccess());
    std::vector<std::thread> threads;
    for (int i = 0; i < kWriters; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            results[i] = writeOne(fixture, dir.file("cube" + std::to_string(i)), i);
            ++finished;
        });
    }
    for (int i = 0; i < kReaders; ++i) {
        threads.emplace_back([&, i] {
            auto cube = openSCDCube(fixture.references[i % 3]);
            start.arrive_and_wait();
            do {
                results[kWriters + i] = cube ? readsExactly(*cube, fixture.cubes[i % 3])
                                             : ::testing::AssertionFailure() << "not opened";
            } while (results[kWriters + i] && finished.load() < kWriters);
            ++finished;
        });
    }
    if (!eventually([&] { return finished.load() == kWriters + kReaders; },
                    std::chrono::seconds(120))) {
        std::fprintf(stderr, "writers still running after 2 minutes: deadlock\n");
        std::abort();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < kWriters + kReaders; ++i) {
        EXPECT_TRUE(results[i]) << (i < kWriters ? "writer " : "reader ") << i;
    }
}

}  // namespace

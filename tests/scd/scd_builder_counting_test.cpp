#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "sc_api/processor.h"
#include "sc_api/scd.h"
#include "scd/image_run_accumulator.h"
#include "scd/item_queue.h"
#include "scd/scd_line_actions.h"
#include "scd/symbol_count_table.h"
#include "scd/temporary_image_file.h"
#include "support/codec_bits.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Values = std::vector<unsigned short>;

// Feeds the stored lines of `cube` to an accumulator, finishes it and returns the counts.
SCSymbolCounts accumulatedImageSymbols(const ReferenceCube& cube) {
    SymbolCountTable table;
    ImageRunAccumulator accumulator(cube.width, cube.height, cube.depth, table);
    const std::size_t lineValues = std::size_t{cube.width} * cube.depth;
    for (unsigned y = 0; y < cube.acquiredLines; ++y) {
        accumulator.addLine(cube.values.data() + y * lineValues);
    }
    accumulator.finish();
    return table.counts();
}

// The symbols of every channel image of the cube, each coded as one stream.
SCSymbolCounts imageSymbols(const ReferenceCube& cube) {
    std::vector<Values> images;
    for (unsigned c = 0; c < cube.depth; ++c) {
        images.push_back(cube.image(c));
    }
    return countSymbols(images);
}

TEST(ImageRunAccumulator, RunsGoOnAcrossLines) {
    const ReferenceCube cube = makeReferenceCube(2, 2, 1, 2, [](auto...) { return 7; });
    EXPECT_EQ(accumulatedImageSymbols(cube), (SCSymbolCounts{{{4, 7}, 1}}));
}

TEST(ImageRunAccumulator, RunsNeverExceed255Values) {
    const ReferenceCube cube = makeReferenceCube(600, 1, 1, 1, [](auto...) { return 0; });
    EXPECT_EQ(accumulatedImageSymbols(cube), (SCSymbolCounts{{{90, 0}, 1}, {{255, 0}, 2}}));
}

TEST(ImageRunAccumulator, LinesNeverAddedCountAsZeros) {
    const ReferenceCube oneLine =
        makeReferenceCube(100, 6, 2, 1, [](unsigned x, unsigned, unsigned c) {
            return static_cast<unsigned short>(c == 1 && x == 99 ? 5 : 0);
        });
    // Channel 0: 600 zeros. Channel 1: 99 zeros, a 5, then 500 zeros.
    EXPECT_EQ(
        accumulatedImageSymbols(oneLine),
        (SCSymbolCounts{{{1, 5}, 1}, {{90, 0}, 1}, {{99, 0}, 1}, {{245, 0}, 1}, {{255, 0}, 3}}));
}

TEST(ImageRunAccumulator, CountsExactlyTheSymbolsOfTheFinishedImages) {
    for (CubeKind kind : {CubeKind::kRandomRuns, CubeKind::kSparse, CubeKind::kDense}) {
        for (unsigned acquired : {0u, 3u, 7u}) {
            const ReferenceCube cube = randomCube(kind, 13, 7, 40, acquired, 100 + acquired);
            EXPECT_EQ(accumulatedImageSymbols(cube), imageSymbols(cube))
                << static_cast<int>(kind) << ", " << acquired << " lines";
        }
    }
}

TEST(ImageRunAccumulator, ACubeWithoutPixelsCountsNothing) {
    for (const auto& [width, height, depth] :
         {std::tuple{0u, 4u, 3u}, std::tuple{4u, 0u, 3u}, std::tuple{4u, 4u, 0u}}) {
        const ReferenceCube cube = makeReferenceCube(width, height, depth, 0, {});
        EXPECT_TRUE(accumulatedImageSymbols(cube).empty());
    }
}

TEST(RunLengthEncodingExecutorThread, EightPostingsCountEverySpectrumOnce) {
    const ReferenceCube cube = randomCube(CubeKind::kRandomRuns, 64, 3, 500, 3, 9);
    SymbolCountTable table;
    ItemQueue<MultiThreadingPolicy> spectra(cube.values.data(), cube.depth, 64 * 3);
    const lattix::lx_tuplink::ActionRef counting(
        new RunLengthEncodingExecutorThread(spectra, table));
    lattix::lx_tuplink::ActionList actions;
    for (int i = 0; i < 8; ++i) {
        actions.add(counting);
    }
    SCD::getProcessor().post(actions);
    actions.wait(SCD::getProcessor(), 0);
    std::vector<Values> expected;
    for (unsigned y = 0; y < 3; ++y) {
        for (unsigned x = 0; x < 64; ++x) {
            expected.push_back(cube.spectrum(x, y));
        }
    }
    EXPECT_EQ(table.counts(), countSymbols(expected));
}

TEST(ItemQueue, HandsOutEveryItemOnceAcrossThreads) {
    const Values buffer(3 * 1000);
    ItemQueue<MultiThreadingPolicy> queue(buffer.data(), 3, 1000);
    std::vector<std::atomic<int>> taken(1000);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (auto item = queue.next(); item.second != nullptr; item = queue.next()) {
                EXPECT_EQ(item.second, buffer.data() + item.first * 3);
                ++taken.at(item.first);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_TRUE(std::all_of(taken.begin(), taken.end(), [](auto& n) { return n == 1; }));
    EXPECT_EQ(queue.next().second, nullptr);
}

TEST(SymbolCountTable, AddsTalliesFromManyThreads) {
    SymbolCountTable table;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&table, t] {
            SymbolTally tally;
            for (int i = 0; i < 1000; ++i) {
                tally.add(SCSymbol(1, static_cast<unsigned short>(i % 10)));
                table.count(SCSymbol(2, static_cast<unsigned short>(t)));
            }
            table.add(tally);
            EXPECT_TRUE(tally.empty());
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    SCSymbolCounts expected;
    for (unsigned short v = 0; v < 10; ++v) {
        expected[{1, v}] = 400;
    }
    for (unsigned short t = 0; t < 4; ++t) {
        expected[{2, t}] = 1000;
    }
    EXPECT_EQ(table.counts(), expected);
}

class TemporaryImageFileTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string path = dir.file("image.raw");
};

TEST_F(TemporaryImageFileTest, StoresChannelRowsInImageOrder) {
    const ReferenceCube cube = randomCube(CubeKind::kDense, 3, 4, 5, 4, 11);
    TemporaryImageFile file(path, 3, 4, 5, 1.0f);
    ASSERT_TRUE(file.isOpen());
    for (unsigned y = 0; y < 2; ++y) {
        ASSERT_EQ(file.appendLine(cube.values.data() + y * 15), SC_OK);
    }
    const std::vector<unsigned char> bytes = readFileBytes(path);
    ASSERT_EQ(bytes.size(), 3u * 4 * 5 * 2);
    for (unsigned c = 0; c < 5; ++c) {
        for (unsigned y = 0; y < 4; ++y) {
            for (unsigned x = 0; x < 3; ++x) {
                const std::size_t at = ((c * 4 + y) * 3 + x) * 2;
                const unsigned stored = bytes[at] | bytes[at + 1] << 8;
                EXPECT_EQ(stored, y < 2 ? cube.count(x, y, c) : 0u) << x << y << c;
            }
        }
    }
}

TEST_F(TemporaryImageFileTest, WritesOnlyTheChannelRowsThatAreNotAllZero) {
    TemporaryImageFile file(path, 2, 2, 3, 1.0f);
    ASSERT_TRUE(file.isOpen());
    writeFileBytes(path, std::vector<unsigned char>(24, 0xAA));
    const Values line = {0, 0, 0, 0, 5, 0};  // channel 1 of pixel 1 only
    ASSERT_EQ(file.appendLine(line.data()), SC_OK);
    std::vector<unsigned char> expected(24, 0xAA);
    expected[8] = 0;  // channel 1, line 0: the values 0 and 5
    expected[9] = 0;
    expected[10] = 5;
    expected[11] = 0;
    EXPECT_EQ(readFileBytes(path), expected);
}

TEST_F(TemporaryImageFileTest, AppendsABlockOfLinesAsLineByLineAppendingWould) {
    const ReferenceCube cube = randomCube(CubeKind::kSparse, 7, 9, 6, 9, 12);
    TemporaryImageFile byBlocks(path, 7, 9, 6, 1.0f);
    TemporaryImageFile byLines(dir.file("lines.raw"), 7, 9, 6, 1.0f);
    ASSERT_EQ(byBlocks.appendLines(cube.values.data(), 4), SC_OK);
    ASSERT_EQ(byBlocks.appendLines(cube.values.data() + 4 * 42, 5), SC_OK);
    EXPECT_EQ(byBlocks.appendLines(cube.values.data(), 1), SC_OUT_OF_RANGE);
    for (unsigned y = 0; y < 9; ++y) {
        ASSERT_EQ(byLines.appendLine(cube.values.data() + y * 42), SC_OK);
    }
    EXPECT_EQ(readFileBytes(path), readFileBytes(dir.file("lines.raw")));
}

TEST_F(TemporaryImageFileTest, StartsEmptyWhateverTheFileHeldBefore) {
    writeFileBytes(path, std::vector<unsigned char>(500, 0x5A));
    TemporaryImageFile file(path, 2, 3, 4, 1.0f);
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(readFileBytes(path), std::vector<unsigned char>(48, 0));
}

TEST_F(TemporaryImageFileTest, RefusesALineBeyondTheHeightAndAClosedStream) {
    const Values line(6, 1);
    TemporaryImageFile file(path, 2, 1, 3, 1.0f);
    EXPECT_EQ(file.appendLine(line.data()), SC_OK);
    EXPECT_EQ(file.appendLine(line.data()), SC_OUT_OF_RANGE);
    file.close();
    EXPECT_EQ(file.appendLine(line.data()), SC_FILE_ERROR);
}

TEST_F(TemporaryImageFileTest, RoiSumsAreScaledAndKeepTheirLow16Bits) {
    const Values line = {40000, 40000, 3, 0};  // 2 pixels of 2 channels
    TemporaryImageFile file(path, 2, 1, 2, 1.5f);
    ASSERT_EQ(file.appendLine(line.data()), SC_OK);
    Values roi(2);
    ASSERT_EQ(file.computeRoiImage(0, 2, roi.data()), SC_OK);
    EXPECT_EQ(roi, (Values{static_cast<unsigned short>(120000 % 65536), 4}));
}

}  // namespace

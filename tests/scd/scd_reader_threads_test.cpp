#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "sc_api/scd.h"
#include "support/guarded_buffer.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

// One reader thread's work: spectra one line at a time, a few pixels at once, and runs of
// channel images, each checked against the cube. Returns the number of reads that differed.
int readAndCheck(SCFile& cube, const ReferenceCube& reference, unsigned seed, int rounds) {
    const unsigned w = reference.width;
    const unsigned d = reference.depth;
    const std::size_t imageSize = std::size_t{w} * reference.height;
    int mismatches = 0;
    for (int round = 0; round < rounds; ++round) {
        const unsigned y = (seed + round) % reference.height;
        GuardedBuffer line(std::size_t{w} * d);
        mismatches += cube.readSpectrums(0, y, w, line.data()) != SC_OK || !line.guardsIntact();
        for (unsigned x = 0; x < w; ++x) {
            mismatches += line.slice(std::size_t{x} * d, d) != reference.spectrum(x, y);
        }

        // Listed pixels of lines not stored would be left untouched: list stored ones only.
        const unsigned storedY = y % reference.acquiredLines;
        const std::vector<SCPixelPosition> pixels = {
            {(seed + round) % w, storedY}, {0, 0}, {w - 1, storedY}};
        std::vector<GuardedBuffer> spectra(pixels.size(), GuardedBuffer(d));
        mismatches += cube.readSpectrumsAt(pixels, dataPointers(spectra)) != SC_OK;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            mismatches +=
                spectra[i].contents() != reference.spectrum(pixels[i].first, pixels[i].second);
        }

        const unsigned first = (seed * 7 + round * 3) % (d - 4);
        GuardedBuffer images(4 * imageSize);
        mismatches += cube.readImages(first, 4, images.data()) != SC_OK || !images.guardsIntact();
        for (unsigned k = 0; k < 4; ++k) {
            mismatches += images.slice(k * imageSize, imageSize) != reference.image(first + k);
        }
    }
    return mismatches;
}

}  // namespace

TEST(SCDReaderThreadsTest, ThreadsReadingOneCubeAtOnceAllGetExactData) {
    TempDir dir;
    const std::string base = dir.file("cube");
    const ReferenceCube reference = makeReferenceCube(12, 9, 64, 8, variedCount);
    ASSERT_TRUE(writeReferenceSCD(base, reference));
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);

    constexpr unsigned kThreads = 4;
    std::atomic<int> mismatches{0};
    std::vector<std::thread> readers;
    for (unsigned t = 0; t < kThreads; ++t) {
        readers.emplace_back([&, t] { mismatches += readAndCheck(*cube, reference, t, 10); });
    }
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(SCDReaderThreadsTest, TwoCubesReadAtOnceKeepTheirOwnData) {
    TempDir dir;
    const ReferenceCube first = makeReferenceCube(7, 5, 30, 5, variedCount);
    const ReferenceCube second =
        makeReferenceCube(5, 7, 33, 6, [](unsigned x, unsigned y, unsigned c) {
            return static_cast<unsigned short>(variedCount(y, x, c) ^ 1);
        });
    ASSERT_TRUE(writeReferenceSCD(dir.file("first"), first));
    ASSERT_TRUE(writeReferenceSCD(dir.file("second"), second));
    auto firstCube = openSCDCube(dir.file("first"));
    auto secondCube = openSCDCube(dir.file("second"));
    ASSERT_TRUE(firstCube && secondCube);

    std::atomic<int> mismatches{0};
    std::thread other([&] { mismatches += readAndCheck(*secondCube, second, 1, 8); });
    mismatches += readAndCheck(*firstCube, first, 2, 8);
    other.join();
    EXPECT_EQ(mismatches.load(), 0);
}

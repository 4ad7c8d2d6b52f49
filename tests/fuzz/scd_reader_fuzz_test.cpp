// The three files of a valid SCD cube get random damage (changed bytes and bit counts, cut or
// lengthened files); every cube that still opens is read whole through every primitive into
// guarded buffers, and no case may crash, hang or write outside a buffer.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "sc_api/scd.h"
#include "support/guarded_buffer.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Bytes = std::vector<unsigned char>;

// Cubes claiming more values than this are not read.
constexpr std::uint64_t kMaxReadValues = 1 << 20;

// One random kind of damage somewhere in `bytes`; `streams` tells where the bit counts lie.
void damage(Bytes& bytes, const std::vector<StreamPlace>& streams, std::mt19937& random) {
    auto below = [&random](std::size_t n) { return n == 0 ? 0 : random() % n; };
    const unsigned kind = random() % 4;
    for (int i = 1 + below(8); i > 0 && kind == 0 && !bytes.empty(); --i) {
        bytes[below(bytes.size())] ^= static_cast<unsigned char>(1 + below(255));
    }
    if (kind == 1) {
        bytes.resize(below(bytes.size() + 1));
    } else if (kind == 2) {
        bytes.resize(bytes.size() + 1 + below(64), static_cast<unsigned char>(random()));
    } else if (kind == 3 && !streams.empty()) {
        const Bytes bitCount = littleEndian32(random() % 2 ? random() : random() % 64);
        std::copy(
            bitCount.begin(), bitCount.end(),
            bytes.begin() + static_cast<std::ptrdiff_t>(streams[below(streams.size())].offset));
    }
}

// Reads everything the cube claims to hold through every primitive, inside guards.
void readEverything(SCFile& cube) {
    const std::uint64_t w = cube.width();
    const std::uint64_t d = cube.depth();
    const std::uint64_t pixels = w * cube.height();
    if (pixels * std::max<std::uint64_t>(d, 1) > kMaxReadValues) {
        return;  // a damaged height or depth: too large to read whole
    }
    std::vector<SCPixelPosition> positions;
    for (unsigned p = 0; p < pixels; ++p) {
        positions.emplace_back(p % w, p / w);
    }
    std::vector<unsigned> channels(d);
    std::iota(channels.rbegin(), channels.rend(), 0u);
    GuardedBuffer spectra(pixels * d), images(pixels * d), roi(pixels);
    std::vector<GuardedBuffer> listedSpectra(pixels, GuardedBuffer(d));
    std::vector<GuardedBuffer> listedImages(d, GuardedBuffer(pixels));
    EXPECT_PRED1(decodedOrDamaged,
                 cube.readSpectrums(0, 0, static_cast<unsigned>(pixels), spectra.data()));
    EXPECT_PRED1(decodedOrDamaged, cube.readSpectrumsAt(positions, dataPointers(listedSpectra)));
    EXPECT_PRED1(decodedOrDamaged, cube.readImages(0, static_cast<unsigned>(d), images.data()));
    EXPECT_PRED1(decodedOrDamaged, cube.readImagesAt(channels, dataPointers(listedImages)));
    EXPECT_PRED1(decodedOrDamaged, cube.computeRoiImage(0, static_cast<unsigned>(d), roi.data()));
    listedSpectra.insert(listedSpectra.end(), listedImages.begin(), listedImages.end());
    for (const GuardedBuffer& buffer : listedSpectra) {
        EXPECT_TRUE(buffer.guardsIntact());
    }
    EXPECT_TRUE(spectra.guardsIntact() && images.guardsIntact() && roi.guardsIntact());
}

}  // namespace

TEST(SCDReaderFuzzTest, DamagedCubesNeverCrashOrWriteOutsideABuffer) {
    TempDir dir;
    const std::string base = dir.file("cube");
    const ReferenceSCDLayout layout =
        writeReferenceSCD(base, makeReferenceCube(6, 5, 24, 4, variedCount, 1.5f)).value();
    const std::vector<StreamPlace> streams[] = {{}, layout.spectra, layout.images};
    const std::vector<std::string> files = {base + ".scdh", base + ".scds", base + ".scdi"};
    const std::vector<Bytes> original = {readFileBytes(files[0]), readFileBytes(files[1]),
                                         readFileBytes(files[2])};
    std::mt19937 random(20240613);
    int opened = 0;
    constexpr int kCases = 150;
    for (int i = 0; i < kCases; ++i) {
        // The header is damaged less often than the data files, so that most damaged cubes
        // still open and their streams get decoded.
        std::vector<Bytes> damaged = original;
        for (int f = 0; f < 3; ++f) {
            if (random() % (f == 0 ? 4 : 2) == 0) {
                damage(damaged[f], streams[f], random);
            }
            writeFileBytes(files[f], damaged[f]);
        }
        auto cube = openSCDCube(base);
        if (!cube) {
            continue;
        }
        ++opened;
        SCOPED_TRACE("case " + std::to_string(i));
        readEverything(*cube);
    }
    EXPECT_GT(opened, kCases / 2);
}

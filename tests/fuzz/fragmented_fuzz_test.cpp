// Damaged maps and area cubes: every cube that opens is read whole with guard values around
// each buffer; no case may crash, hang or write outside a buffer (also run under ASan).

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "sc_api/scd.h"
#include "support/fragmented_cube_files.h"
#include "support/guarded_buffer.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

unsigned below(std::mt19937& random, std::size_t n) {
    return n == 0 ? 0 : static_cast<unsigned>(random() % n);
}

}  // namespace

TEST(FragmentedFuzz, DamagedMapsAndAreaCubesOpenSafelyOrNotAtAll) {
    TempDir dir;
    const std::string base = dir.file("cube");
    ASSERT_TRUE(writeFragmentedCube(base, overlappingAreas()));
    const std::string files[] = {".scdh",   ".1.scdh", ".1.scds", ".1.scdi",
                                 ".2.scdh", ".2.scds", ".2.scdi"};
    std::mt19937 random(20240611);
    int opened = 0;
    for (int round = 0; round < 200; ++round) {
        const std::string file = base + files[random() % 2 ? 0 : 1 + below(random, 6)];
        const auto intact = readFileBytes(file);
        auto bytes = intact;
        for (int n = 1 + below(random, 3); n > 0 && !bytes.empty(); --n) {
            if (random() % 3 == 0) {
                bytes.resize(below(random, bytes.size() + 1));
            } else {  // a field made small (a grid entry may name another area) or random
                const auto value = littleEndian32(random() % 2 ? below(random, 12) : random());
                std::copy_n(value.begin(), std::min<std::size_t>(4, bytes.size()),
                            bytes.begin() + 4 * below(random, bytes.size() / 4));
            }
        }
        writeFileBytes(file, bytes);
        if (auto cube = openSCDCube(base)) {
            ++opened;
            const std::uint64_t pixels = std::uint64_t{cube->width()} * cube->height();
            const unsigned d = cube->depth();
            if (pixels > 0 && pixels * d <= (1u << 20)) {  // a map of no area may claim any depth
                GuardedBuffer all(pixels * d);
                GuardedBuffer roi(pixels);
                EXPECT_PRED1(decodedOrDamaged, cube->readSpectrums(0, 0, pixels, all.data()))
                    << round;
                EXPECT_TRUE(all.guardsIntact());
                EXPECT_PRED1(decodedOrDamaged, cube->readImages(0, d, all.data())) << round;
                EXPECT_PRED1(decodedOrDamaged, cube->computeRoiImage(0, d, roi.data())) << round;
                EXPECT_TRUE(all.guardsIntact() && roi.guardsIntact()) << round;
            }
        }
        writeFileBytes(file, intact);
    }
    EXPECT_GT(opened, 20);
}

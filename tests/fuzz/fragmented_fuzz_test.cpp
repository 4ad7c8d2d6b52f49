// Robustness of fragmented cubes: damaged maps, damaged or mismatched area cubes, and random
// acquisitions. Every cube that opens is read whole through every primitive and the generic reads
// with guard values around each buffer; no case may crash, hang, or write outside a buffer (these
// tests run under AddressSanitizer). Random acquisitions must also read back as acquired.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "sc_api/fragmented_scd_builder.h"
#include "sc_api/sc_spectrum.h"
#include "sc_api/scd.h"
#include "support/fragmented_cube_files.h"
#include "support/guarded_buffer.h"
#include "support/memory_cube.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Bytes = std::vector<unsigned char>;

unsigned below(std::mt19937& random, std::size_t n) {
    return n == 0 ? 0 : static_cast<unsigned>(random() % n);
}

// A value that a damaged 32-bit field of a map may hold: small, near a size, or anything.
std::uint32_t damagedField(std::mt19937& random) {
    static const std::uint32_t kValues[] = {0, 1, 2, 3, 4, 5, 6, 9, 10, 11, 0x7FFFFFFF, 0xFFFFFFFF};
    return random() % 2 ? kValues[below(random, std::size(kValues))] : random();
}

// Damages the map of a cube of `pixels` pixels and `areas` areas; grid entries are now and then
// given another valid area, so that some damaged maps still open.
void damageMap(Bytes& map, std::size_t pixels, unsigned areas, std::mt19937& random) {
    switch (random() % 5) {
        case 0:
            map[below(random, map.size())] ^= static_cast<unsigned char>(1u << below(random, 8));
            break;
        case 1: {
            const std::size_t field = 4 * below(random, map.size() / 4);
            for (unsigned i = 0; i < 4; ++i) {
                map[field + i] = static_cast<unsigned char>(damagedField(random) >> (8 * i));
            }
            break;
        }
        case 2:
            map.resize(below(random, map.size() + 1));
            break;
        case 3: {
            const std::size_t field = 32 + 4 * below(random, pixels);
            if (field + 4 <= map.size()) {
                map[field] = static_cast<unsigned char>(below(random, areas + 1));
                map[field + 1] = map[field + 2] = map[field + 3] = 0;
            }
            break;
        }
        default:
            for (int i = 1 + below(random, 16); i > 0; --i) {
                map.push_back(static_cast<unsigned char>(random()));
            }
    }
}

// Reads the whole cube through every primitive and the generic reads. Whatever the cube holds,
// in-range reads succeed and stay inside their buffers.
::testing::AssertionResult readsSafely(SCFile& cube) {
    const std::uint64_t w = cube.width();
    const std::uint64_t h = cube.height();
    const std::uint64_t d = cube.depth();
    if (w * h * d > (1u << 20) || w * h == 0) {
        // Too large to read whole (a map listing no area may claim any depth): only requests
        // just outside the cube, which must be refused without writing.
        GuardedBuffer none(1);
        const bool refused =
            cube.readSpectrums(0, static_cast<unsigned>(h), 1, none.data()) == SC_OUT_OF_RANGE &&
            cube.readImages(static_cast<unsigned>(d), 1, none.data()) == SC_OUT_OF_RANGE;
        return refused && none.holdsOnly(GuardedBuffer::kUntouched) && none.guardsIntact()
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << "requests outside a large cube";
    }
    for (unsigned y = 0; y < h; ++y) {
        GuardedBuffer line(w * d);
        if (cube.readSpectrums(0, y, static_cast<unsigned>(w), line.data()) != SC_OK ||
            !line.guardsIntact()) {
            return ::testing::AssertionFailure() << "line " << y;
        }
    }
    std::vector<SCPixelPosition> positions;
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            positions.emplace_back(x, y);
        }
    }
    std::vector<GuardedBuffer> spectra(positions.size(), GuardedBuffer(d));
    std::vector<GuardedBuffer> images(d, GuardedBuffer(w * h));
    std::vector<unsigned> channels;
    for (unsigned c = 0; c < d; ++c) {
        channels.push_back(static_cast<unsigned>(d) - 1 - c);
    }
    GuardedBuffer all(w * h * d);
    GuardedBuffer roi(w * h);
    SCAllocatedSpectrum sum(static_cast<unsigned>(d));
    std::int64_t pixels = 0;
    const TextMask mask =
        TextMask::full(static_cast<unsigned>(w) + 2, static_cast<unsigned>(h) + 2);
    const bool read = cube.readSpectrumsAt(positions, dataPointers(spectra)) == SC_OK &&
                      cube.readImagesAt(channels, dataPointers(images)) == SC_OK &&
                      cube.readImages(0, static_cast<unsigned>(d), all.data()) == SC_OK &&
                      cube.computeRoiImage(0, static_cast<unsigned>(d), roi.data()) == SC_OK &&
                      cube.computeRegionSpectrum(-1, -1, mask, sum, pixels) == SC_OK;
    bool guarded = all.guardsIntact() && roi.guardsIntact();
    for (const auto& buffers : {&spectra, &images}) {
        for (const GuardedBuffer& buffer : *buffers) {
            guarded = guarded && buffer.guardsIntact();
        }
    }
    if (!read || !guarded || pixels < 0 || static_cast<std::uint64_t>(pixels) > w * h) {
        return ::testing::AssertionFailure() << "whole-cube reads";
    }
    return ::testing::AssertionSuccess();
}

class FragmentedFuzzTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(writeFragmentedCube(base, model)); }

    TempDir dir;
    std::string base = dir.file("cube");
    FragmentedCubeModel model = overlappingAreas();
};

}  // namespace

TEST_F(FragmentedFuzzTest, DamagedMapsOpenSafelyOrNotAtAll) {
    const Bytes map = readFileBytes(base + ".scdh");
    std::mt19937 random(20240611);
    int opened = 0;
    for (int round = 0; round < 200; ++round) {
        Bytes damaged = map;
        for (int n = 1 + below(random, 3); n > 0 && !damaged.empty(); --n) {
            damageMap(damaged, std::size_t{model.width} * model.height,
                      static_cast<unsigned>(model.areas.size()), random);
        }
        writeFileBytes(base + ".scdh", damaged);
        std::unique_ptr<SCFile> cube(SCD::openSCD(base));
        if (cube) {
            ++opened;
            ASSERT_TRUE(readsSafely(*cube)) << "round " << round;
        }
    }
    EXPECT_GT(opened, 0);
}

TEST_F(FragmentedFuzzTest, DamagedOrForeignAreaCubesOpenSafelyOrNotAtAll) {
    std::mt19937 random(77);
    for (int round = 0; round < 25; ++round) {
        ASSERT_TRUE(writeFragmentedCube(base, model));
        const std::string area = base + "." + std::to_string(1 + below(random, 2));
        switch (random() % 4) {
            case 0: {
                const ReferenceCube other =
                    makeReferenceCube(1 + below(random, 9), 1 + below(random, 5),
                                      2 + below(random, 3), below(random, 5), variedCount);
                writeReferenceSCD(area, other);
                break;
            }
            case 1:
                std::remove((area + (random() % 2 ? ".scds" : ".scdi")).c_str());
                break;
            case 2: {
                const std::string file = area + (random() % 2 ? ".scds" : ".scdi");
                Bytes bytes = readFileBytes(file);
                bytes.resize(below(random, bytes.size() + 1));
                writeFileBytes(file, bytes);
                break;
            }
            default: {
                Bytes header = readFileBytes(area + ".scdh");
                header[below(random, header.size())] ^= static_cast<unsigned char>(random());
                writeFileBytes(area + ".scdh", header);
            }
        }
        std::unique_ptr<SCFile> cube(SCD::openSCD(base));
        if (cube) {
            ASSERT_TRUE(readsSafely(*cube)) << "round " << round;
        }
    }
}

TEST(FragmentedAcquisitionFuzz, RandomAcquisitionsReadBackAsAcquired) {
    std::mt19937 random(4242);
    for (int round = 0; round < 12; ++round) {
        TempDir dir;
        const std::string base = dir.file("cube");
        FragmentedCubeModel model;
        model.width = 3 + below(random, 8);
        model.height = 2 + below(random, 6);
        model.depth = 1 + below(random, 40);
        model.factor = random() % 2 ? 1.0f : 0.75f;
        FragmentedSCDBuilder builder(base, model.width, model.height, model.depth, model.factor);
        for (int step = 0; step < 12; ++step) {
            const unsigned action = random() % 4;
            if (action == 0 || model.areas.empty()) {
                const Rect area{below(random, model.width + 2), below(random, model.height + 2),
                                1 + below(random, model.width), 1 + below(random, model.height)};
                const int result = builder.startNewArea(area);
                const bool inside =
                    area.x + area.width <= model.width && area.y + area.height <= model.height;
                ASSERT_EQ(result, inside ? SC_OK : SC_OUT_OF_RANGE);
                if (inside) {
                    model.areas.push_back({area, 0});
                }
            } else if (action == 1) {
                const unsigned first = below(random, model.depth + 1);
                const unsigned count = below(random, model.depth - first + 1);
                GuardedBuffer roi(std::size_t{model.width} * model.height);
                ASSERT_EQ(builder.computeRoiImage(first, count, roi.data()), SC_OK);
                ASSERT_TRUE(roi.guardsIntact());
                ASSERT_EQ(roi.contents(), model.roiImage(first, count)) << "round " << round;
            } else {
                auto& area = model.areas.back();
                const unsigned index = static_cast<unsigned>(model.areas.size());
                const bool room = area.storedLines < area.rect.height;
                const std::vector<unsigned short> line = model.areaLine(index, area.storedLines);
                ASSERT_EQ(builder.addSpectrumLine(line.data()), room ? SC_OK : SC_OUT_OF_RANGE);
                area.storedLines += room ? 1 : 0;
            }
        }
        ASSERT_EQ(builder.close(), SC_OK);
        std::unique_ptr<SCFile> cube(SCD::openSCD(base));
        ASSERT_TRUE(cube) << "round " << round;
        ASSERT_TRUE(readsModel(*cube, model)) << "round " << round;
        ASSERT_TRUE(readsSafely(*cube));
    }
}

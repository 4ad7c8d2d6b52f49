// Many clients at once: 64 readers of one cube, each opening and releasing it on its own
// schedule, while another client builds a second cube. Every answer is checked.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>

#include "acquisition_pattern.h"
#include "sc_api/remote_cube.h"
#include "sc_api/sc_file.h"
#include "sc_api/sc_spectrum.h"
#include "sc_api/scd.h"
#include "service_host.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

namespace {

constexpr int kReaders = 64;
constexpr int kRoundsPerReader = 4;

// What the readers expect: every channel image and the ROI image of all channels.
struct Expected {
    unsigned width = 0, height = 0, depth = 0;
    std::vector<std::uint16_t> images;  // all channels, image after image
    std::vector<std::uint16_t> roi;
    std::vector<float> lastSpectrum;  // of the last pixel
};

Expected readLocally(const std::string& name) {
    const std::unique_ptr<SCFile> cube(SCD::openSCD(name));
    Expected expected;
    if (!cube) {
        return expected;
    }
    expected.width = cube->width();
    expected.height = cube->height();
    expected.depth = cube->depth();
    const std::size_t plane = std::size_t{expected.width} * expected.height;
    expected.images.resize(plane * expected.depth);
    expected.roi.resize(plane);
    cube->getImages(0, expected.depth, expected.images.data());
    cube->computeRoiImage(0, expected.depth, expected.roi.data());
    SCAllocatedSpectrum spectrum(expected.depth);
    cube->getSpectrum(expected.width - 1, expected.height - 1, spectrum);
    for (unsigned c = 0; c < expected.depth; ++c) {
        expected.lastSpectrum.push_back(spectrum[c]);
    }
    return expected;
}

// One reader: opens the cube, checks a few reads, releases it; again for every round.
int readerFailures(const std::string& endpoint, const Expected& expected, unsigned seed) {
    tuplink::Client client;
    if (client.connect(endpoint) != 0) {
        return 1;
    }
    std::mt19937 random(seed);
    int failures = 0;
    const std::size_t plane = std::size_t{expected.width} * expected.height;
    for (int round = 0; round < kRoundsPerReader; ++round) {
        RemoteCube cube(client);
        if (cube.open("shared") != 1 || cube.depth() != expected.depth) {
            ++failures;
            continue;
        }
        const unsigned z = random() % (expected.depth - 8);
        std::vector<std::uint16_t> images;
        std::vector<float> spectrum;
        failures += cube.images(z, 8, images) != 1 ||
                    !std::equal(images.begin(), images.end(),
                                expected.images.begin() + std::ptrdiff_t(z * plane),
                                expected.images.begin() + std::ptrdiff_t((z + 8) * plane));
        failures += cube.roi(0, expected.depth, images) != 1 || images != expected.roi;
        failures += cube.spectrum(expected.width - 1, expected.height - 1, spectrum) != 1 ||
                    spectrum != expected.lastSpectrum;
        failures += cube.close() != 1;
    }
    return failures;
}

TEST(ConcurrentClients, SixtyFourReadersGetExactAnswersWhileACubeIsBuilt) {
    test_support::TempDir dir;
    std::filesystem::create_directories(dir.file("root"));
    ASSERT_TRUE(test_support::buildWithBuilder(
        dir.file("root/shared"),
        test_support::randomCube(test_support::CubeKind::kRandomRuns, 24, 16, 64, 16, 11, 1.25f)));
    const Expected expected = readLocally(dir.file("root/shared"));
    ASSERT_EQ(expected.depth, 64u);
    service_test::ServiceHost host(dir.file("root"), 8);
    ASSERT_FALSE(host.endpoint().empty());

    std::atomic<int> failures{0};
    std::vector<std::thread> readers;
    for (int reader = 0; reader < kReaders; ++reader) {
        readers.emplace_back([&, reader] {
            failures += readerFailures(host.endpoint(), expected, 1000u + unsigned(reader));
        });
    }
    tuplink::Client builderClient;
    ASSERT_EQ(builderClient.connect(host.endpoint()), 0);
    {
        using namespace service_test;
        RemoteCubeBuilder builder(builderClient);
        EXPECT_EQ(
            builder.start("built", kPatternWidth, kPatternHeight, kPatternDepth, kPatternFactor),
            1);
        EXPECT_EQ(builder.newArea(Rect{0, 0, kPatternWidth, kPatternHeight}), 1);
        for (unsigned y = 0; y < kPatternHeight; ++y) {
            EXPECT_EQ(builder.addLine(patternLine(y)), 1);
        }
        EXPECT_EQ(builder.terminate(), 1);
    }
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(failures.load(), 0);
    const std::unique_ptr<SCFile> built(SCD::openSCD(dir.file("root/built")));
    ASSERT_NE(built, nullptr);
    std::vector<unsigned short> spectrum(service_test::kPatternDepth);
    ASSERT_EQ(built->readSpectrums(5, 3, 1, spectrum.data()), SC_OK);
    EXPECT_EQ(spectrum[4], service_test::patternCount(5, 3, 4));
    EXPECT_EQ(host.stop(), 0);
}

}  // namespace

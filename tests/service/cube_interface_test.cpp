// The cube interface through the real transport, served by `sccube serve` in another process:
// every answer is compared with the same read made in this process on the same cube.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "sc_api/remote_cube.h"
#include "sc_api/sc_file.h"
#include "sc_api/sc_spectrum.h"
#include "sc_api/scd.h"
#include "service_client.h"
#include "service_host.h"
#include "support/fragmented_cube_files.h"
#include "support/memory_cube.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"
#include "tuplink/status.h"

namespace {

using service_test::bufferBytes;
using service_test::bufferOf;
using service_test::ints;
using service_test::ServiceCalls;
using tuplink::Symbol;
using tuplink::Tuple;

class CubeInterface : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new test_support::TempDir;
        std::filesystem::create_directories(dir_->file("root/cubes"));
        ASSERT_TRUE(test_support::buildWithBuilder(
            dir_->file("root/cubes/simple"),
            test_support::randomCube(test_support::CubeKind::kRandomRuns, 12, 6, 40, 5, 7, 1.5f)));
        ASSERT_TRUE(test_support::writeFragmentedCube(dir_->file("root/cubes/frag"),
                                                      test_support::overlappingAreas()));
        test_support::writeFileText(dir_->file("root/cubes/raw.rpl"), "width\t2\n");
        test_support::writeFileText(dir_->file("root/cubes/raw.raw"), "");
        host_ = new service_test::ServiceHost(dir_->file("root"));
    }
    static void TearDownTestSuite() {
        delete host_;
        delete dir_;
    }
    void SetUp() override {
        ASSERT_FALSE(host_->endpoint().empty()) << "sccube serve did not start";
        ASSERT_EQ(client_.connect(host_->endpoint()), 0);
    }

    // A service instance of its own for each test, so that handles start from 0.
    ServiceCalls calls() {
        return ServiceCalls(client_,
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    static std::unique_ptr<SCFile> local(const char* name) {
        return std::unique_ptr<SCFile>(SCD::openSCD(dir_->file(std::string("root/cubes/") + name)));
    }

    static test_support::TempDir* dir_;
    static service_test::ServiceHost* host_;
    tuplink::Client client_;
};

test_support::TempDir* CubeInterface::dir_ = nullptr;
service_test::ServiceHost* CubeInterface::host_ = nullptr;

int openCube(ServiceCalls& calls, const std::string& path) {
    Tuple arguments;
    Tuple results;
    arguments.set_string(Symbol("path"), path.c_str());
    const int status = calls.cube("getCube", arguments, results);
    return status == 1 ? results.get_int(Symbol("handle")) : status - 1000;
}

TEST_F(CubeInterface, ReadsOfSimpleAndFragmentedCubesMatchTheSameReadsInProcess) {
    for (const char* name : {"simple", "frag"}) {
        SCOPED_TRACE(name);
        const auto cube = local(name);
        ASSERT_NE(cube, nullptr);
        const unsigned w = cube->width(), h = cube->height(), d = cube->depth();
        RemoteCube remote(client_, calls().instance());
        ASSERT_EQ(remote.open(std::string("cubes/") + name), 1);
        EXPECT_EQ(remote.width(), w);
        EXPECT_EQ(remote.height(), h);
        EXPECT_EQ(remote.depth(), d);

        std::vector<float> spectrum;
        SCAllocatedSpectrum expectedSpectrum(d);
        ASSERT_EQ(cube->getSpectrum(w - 1, 2, expectedSpectrum), SC_OK);
        ASSERT_EQ(remote.spectrum(w - 1, 2, spectrum), 1);
        ASSERT_EQ(spectrum.size(), d);
        for (unsigned c = 0; c < d; ++c) {
            EXPECT_EQ(spectrum[c], expectedSpectrum[c]);
        }
        std::vector<std::uint16_t> images, expected(std::size_t{w} * h * 3);
        ASSERT_EQ(cube->getImages(d - 3, 3, expected.data()), SC_OK);
        ASSERT_EQ(remote.images(d - 3, 3, images), 1);
        EXPECT_EQ(images, expected);
        expected.assign(std::size_t{w} * h, 0);
        ASSERT_EQ(cube->computeRoiImage(0, d, expected.data()), SC_OK);
        ASSERT_EQ(remote.roi(0, d, images), 1);
        EXPECT_EQ(images, expected);
        const Rect area{1, 1, 3, 2};
        expected.assign(6, 0);
        ASSERT_EQ(cube->computeSubRoiImage(1, 2, area, expected.data()), SC_OK);
        ASSERT_EQ(remote.roi(1, 2, area, images), 1);
        EXPECT_EQ(images, expected);
    }
}

TEST_F(CubeInterface, SpectraRegionsAndChannelListsComeBackAsTheCubeReadsThem) {
    const auto cube = local("frag");
    ServiceCalls service = calls();
    ASSERT_EQ(openCube(service, "cubes/frag"), 0);
    const unsigned w = cube->width(), h = cube->height(), d = cube->depth();
    Tuple results;

    ASSERT_EQ(service.cube("getSpectrums", ints({{"x", 8}, {"y", 1}, {"count", 4}}), results), 1);
    auto* list = static_cast<tuplink::TupleList*>(
        results.get_pvalue(Symbol("spectrums"), tuplink::TYPE_LIST_TUPLE));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->size(), 4u);
    unsigned pixel = 8 + 1 * w;
    for (Tuple& spectrum : *list) {
        EXPECT_STREQ(spectrum.class_name(), "com::tarn::brix::mv::sc::Spectrum");
        EXPECT_EQ(spectrum.get_int(Symbol("nbChannels")), int(d));
        SCAllocatedSpectrum expected(d);
        ASSERT_EQ(cube->getSpectrum(pixel % w, pixel / w, expected), SC_OK);
        const auto* values = static_cast<tuplink::Array<float>*>(
            spectrum.get_pvalue(Symbol("values"), tuplink::TYPE_ARRAY_FLOAT));
        ASSERT_NE(values, nullptr);
        ASSERT_EQ(values->size(), d);
        for (unsigned c = 0; c < d; ++c) {
            EXPECT_EQ((*values)[c], expected[c]);
        }
        ++pixel;
    }

    Tuple arguments = ints({{"handle", 0}});
    tuplink::IntList channels;
    channels.push_back(2);
    channels.push_back(0);
    arguments.set_value(Symbol("channels"), tuplink::TYPE_LIST_INT, &channels);
    ASSERT_EQ(service.cube("getImagesAtChannels", arguments, results), 1);
    std::vector<std::uint16_t> expected(std::size_t{w} * h * 2);
    ASSERT_EQ(cube->getImages(std::vector<unsigned>{2, 0}, expected.data()), SC_OK);
    EXPECT_EQ(bufferOf(results), expected);
    const Rect area{1, 1, 4, 3};
    service_test::setArea(arguments, area);
    ASSERT_EQ(service.cube("getSubImagesAtChannels", arguments, results), 1);
    expected.assign(4 * 3 * 2, 0);
    ASSERT_EQ(cube->getSubImages(std::vector<unsigned>{2, 0}, area, expected.data()), SC_OK);
    EXPECT_EQ(bufferOf(results), expected);
    arguments.set_int(Symbol("z"), 1);
    ASSERT_EQ(service.cube("getSubImage", arguments, results), 1);
    expected.assign(4 * 3, 0);
    ASSERT_EQ(cube->getSubImage(1, area, expected.data()), SC_OK);
    EXPECT_EQ(bufferOf(results), expected);
    channels.clear();
    arguments.set_value(Symbol("channels"), tuplink::TYPE_LIST_INT, &channels);
    ASSERT_EQ(service.cube("getImagesAtChannels", arguments, results), 1);
    EXPECT_EQ(bufferBytes(results), 0u);

    // A mask of 3 x 2 pixels at (2, 1): one selected pixel per row.
    Tuple mask = ints({{"width", 3}, {"height", 2}});
    const unsigned char rows[] = {0, 1, 0, 5, 0, 0};
    tuplink::Blob pixels;
    pixels.set(sizeof rows, rows);
    mask.set_value(Symbol("pixmapMaskBuffer"), tuplink::TYPE_BLOB, &pixels);
    arguments = ints({{"maskOffsetX", 2}, {"maskOffsetY", 1}});
    arguments.set_value(Symbol("mask"), tuplink::TYPE_TUPLE, &mask);
    ASSERT_EQ(service.cube("getRegionSpectrum", arguments, results), 1);
    SCAllocatedSpectrum expectedSum(d);
    std::int64_t summed = 0;
    ASSERT_EQ(cube->computeRegionSpectrum(2, 1, test_support::TextMask({".#.", "#.."}), expectedSum,
                                          summed),
              SC_OK);
    EXPECT_EQ(results.get_int(Symbol("numSpectrums")), int(summed));
    auto* spectrum =
        static_cast<Tuple*>(results.get_pvalue(Symbol("spectrum"), tuplink::TYPE_TUPLE));
    ASSERT_NE(spectrum, nullptr);
    const auto* values = static_cast<tuplink::Array<float>*>(
        spectrum->get_pvalue(Symbol("values"), tuplink::TYPE_ARRAY_FLOAT));
    ASSERT_NE(values, nullptr);
    ASSERT_EQ(values->size(), d);
    for (unsigned c = 0; c < d; ++c) {
        EXPECT_EQ((*values)[c], expectedSum[c]);
    }

    // The same mask placed where no pixel is acquired sums nothing; a short mask is refused.
    arguments.set_int(Symbol("maskOffsetX"), 7);
    arguments.set_int(Symbol("maskOffsetY"), 4);
    ASSERT_EQ(service.cube("getRegionSpectrum", arguments, results), 1);
    EXPECT_EQ(results.get_int(Symbol("numSpectrums"), -1), 0);
    mask.set_int(Symbol("height"), 3);
    arguments.set_value(Symbol("mask"), tuplink::TYPE_TUPLE, &mask);
    EXPECT_EQ(service.cube("getRegionSpectrum", arguments, results), -1);
}

TEST_F(CubeInterface, ImageBlobsHaveTheTabledSizes) {
    ServiceCalls service = calls();
    ASSERT_EQ(openCube(service, "cubes/simple"), 0);
    Tuple results;
    ASSERT_EQ(service.cube("getImages", ints({{"z", 4}, {"count", 3}}), results), 1);
    EXPECT_EQ(bufferBytes(results), 6u * 12 * 6);
    Tuple arguments = ints({{"z", 4}, {"count", 3}});
    service_test::setArea(arguments, Rect{1, 1, 10, 4});
    ASSERT_EQ(service.cube("getSubImages", arguments, results), 1);
    EXPECT_EQ(bufferBytes(results), 240u);
    ASSERT_EQ(service.cube("getSubImage", arguments, results), 1);
    EXPECT_EQ(bufferBytes(results), 80u);
    ASSERT_EQ(service.cube("computeSubRoiImage", arguments, results), 1);
    EXPECT_EQ(bufferBytes(results), 80u);
    ASSERT_EQ(service.cube("getImage", ints({{"z", 4}}), results), 1);
    EXPECT_EQ(bufferBytes(results), 2u * 12 * 6);
    // A channel beyond the cube: answered 1 with the buffer as allocated (zeros).
    ASSERT_EQ(service.cube("getImage", ints({{"z", 400}}), results), 1);
    EXPECT_EQ(bufferOf(results), std::vector<std::uint16_t>(12 * 6, 0));
    // A reply beyond the host's limit is refused before anything is allocated.
    EXPECT_EQ(service.cube("getImages", ints({{"z", 0}, {"count", 1 << 30}}), results),
              tuplink::STATUS_TOO_LARGE);
    EXPECT_EQ(bufferBytes(results), 0u);
    EXPECT_EQ(service.cube("getSpectrums", ints({{"count", -1}}), results),
              tuplink::STATUS_TOO_LARGE);
}

TEST_F(CubeInterface, OnePathSpelledTwoWaysSharesOneHandleUntilItsLastRelease) {
    ServiceCalls service = calls();
    Tuple results;
    ASSERT_EQ(openCube(service, "cubes/simple"), 0);
    ASSERT_EQ(openCube(service, "./cubes/./simple"), 0);
    ASSERT_EQ(openCube(service, dir_->file("root/cubes/frag")), 1);
    ASSERT_EQ(service.cube("releaseCube", ints({{"handle", 0}}), results), 1);
    ASSERT_EQ(service.cube("width", ints({{"handle", 0}}), results), 1);
    EXPECT_EQ(results.get_int(Symbol("w")), 12);
    ASSERT_EQ(service.cube("releaseCube", ints({{"handle", 0}}), results), 1);
    EXPECT_EQ(service.cube("releaseCube", ints({{"handle", 0}}), results), -1);
    EXPECT_EQ(service.cube("width", ints({{"handle", 0}}), results), -1);
    EXPECT_EQ(service.cube("getImage", ints({{"handle", 0}}), results), -1);
    EXPECT_EQ(service.cube("width", ints({{"handle", 2}}), results), -1);
    EXPECT_EQ(service.cube("width", ints({{"handle", -1}}), results), -1);
    // Reopened under its old handle, by either spelling; the other cube keeps its own.
    ASSERT_EQ(openCube(service, "cubes//simple"), 0);
    ASSERT_EQ(service.cube("width", Tuple(), results), 1);  // no "handle": handle 0
    EXPECT_EQ(results.get_int(Symbol("w")), 12);
    ASSERT_EQ(service.cube("width", ints({{"handle", 1}}), results), 1);
    EXPECT_EQ(results.get_int(Symbol("w")), 10);
    ASSERT_EQ(service.cube("getVersion", ints({{"handle", 1}}), results), 1);
    EXPECT_EQ(results.get_int(Symbol("v")), 1);
    ASSERT_EQ(service.cube("isAcquired", ints({{"handle", 1}, {"x", 9}, {"y", 4}}), results), 1);
    EXPECT_FALSE(results.get_bool(Symbol("isAcquired"), true));
    ASSERT_EQ(service.cube("isAcquired", ints({{"handle", 1}, {"x", 1}, {"y", 1}}), results), 1);
    EXPECT_TRUE(results.get_bool(Symbol("isAcquired")));
}

TEST_F(CubeInterface, PathsThatAreNoServedCubeOrLieOutsideTheRootAreRefused) {
    ServiceCalls service = calls();
    // A readable cube outside the root, reached by "..", by its absolute path, through a
    // linked directory and through a linked header file.
    std::filesystem::create_directories(dir_->file("outside"));
    for (const char* extension : {".scdh", ".scds", ".scdi"}) {
        std::filesystem::copy_file(dir_->file(std::string("root/cubes/simple") + extension),
                                   dir_->file(std::string("outside/simple") + extension));
        std::filesystem::create_symlink(dir_->file(std::string("outside/simple") + extension),
                                        dir_->file(std::string("root/cubes/linked") + extension));
    }
    std::filesystem::create_directory_symlink(dir_->path(), dir_->file("root/up"));
    ASSERT_NE(std::unique_ptr<SCFile>(SCD::openSCD(dir_->file("outside/simple"))), nullptr);
    EXPECT_EQ(openCube(service, "cubes/raw"), -1001);
    EXPECT_EQ(openCube(service, "cubes/raw.raw"), -1001);
    EXPECT_EQ(openCube(service, "cubes/missing"), -1001);
    EXPECT_EQ(openCube(service, "../outside/simple"), -1001);
    EXPECT_EQ(openCube(service, "cubes/../../outside/simple"), -1001);
    EXPECT_EQ(openCube(service, dir_->file("outside/simple")), -1001);
    EXPECT_EQ(openCube(service, "up/outside/simple"), -1001);
    EXPECT_EQ(openCube(service, "cubes/linked"), -1001);
    // A link that leads back inside the root is no escape.
    EXPECT_EQ(openCube(service, "up/root/cubes/frag"), 0);
    Tuple results;
    EXPECT_EQ(service.cube("getCube", Tuple(), results), -1);
    EXPECT_EQ(openCube(service, "cubes/simple"), 1);
    for (const char* method :
         {"getSubImage", "getSubImages", "computeSubRoiImage", "getImagesAtChannels",
          "getSubImagesAtChannels", "getRegionSpectrum"}) {
        EXPECT_EQ(service.cube(method, ints({{"count", 1}}), results), -1) << method;
    }
}

}  // namespace

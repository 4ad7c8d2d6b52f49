// The builder interface through the real transport, served by `sccube serve` in another
// process: handle lifecycle, refusals, an acquisition whose files are byte-identical to the
// same acquisition made in-process, and cubes left open by a killed client or a stopped host.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <memory>

#include "acquisition_pattern.h"
#include "sc_api/fragmented_scd_builder.h"
#include "sc_api/remote_cube.h"
#include "sc_api/sc_file.h"
#include "sc_api/scd.h"
#include "service_client.h"
#include "service_host.h"
#include "support/child_process.h"
#include "support/fragmented_cube_files.h"
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

class BuilderInterface : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_.file("root/wire"));
        std::filesystem::create_directories(dir_.file("local"));
        host_ = std::make_unique<service_test::ServiceHost>(dir_.file("root"));
        ASSERT_FALSE(host_->endpoint().empty()) << "sccube serve did not start";
        ASSERT_EQ(client_.connect(host_->endpoint()), 0);
    }

    int start(ServiceCalls& service, const char* name, int width = 6, int height = 4,
              int depth = 5) {
        Tuple arguments = ints({{"width", width}, {"height", height}, {"depth", depth}});
        arguments.set_string(Symbol("name"), name);
        arguments.set_float(Symbol("factor"), 0.5);
        Tuple results;
        const int status = service.builder("start", arguments, results);
        return status == 1 ? results.get_int(Symbol("handle")) : status - 1000;
    }

    test_support::TempDir dir_;
    std::unique_ptr<service_test::ServiceHost> host_;
    tuplink::Client client_;
    ServiceCalls service_{client_, "default"};
};

Tuple lineArguments(int handle, const std::vector<std::uint16_t>& line) {
    Tuple arguments = ints({{"handle", handle}});
    tuplink::Blob blob;
    blob.set(line.size() * 2, line.data());
    arguments.set_value(Symbol("spectrums"), tuplink::TYPE_BLOB, &blob, false, true);
    return arguments;
}

TEST_F(BuilderInterface, HandlesCountUpAndAreNeverReused) {
    Tuple results;
    EXPECT_EQ(start(service_, "wire/a"), 0);
    EXPECT_EQ(start(service_, "wire/b"), 1);
    ASSERT_EQ(service_.builder("getStatus", ints({{"handle", 1}}), results), 1);
    EXPECT_EQ(results.get_int(Symbol("status"), -1), 0);
    ASSERT_EQ(service_.builder("width", ints({{"handle", 1}}), results), 1);
    EXPECT_EQ(results.get_int(Symbol("w")), 6);
    ASSERT_EQ(service_.builder("height", ints({{"handle", 1}}), results), 1);
    EXPECT_EQ(results.get_int(Symbol("h")), 4);
    ASSERT_EQ(service_.builder("release", Tuple(), results), 1);  // no "handle": handle 0
    EXPECT_EQ(service_.builder("release", ints({{"handle", 0}}), results), -1);
    EXPECT_EQ(service_.builder("getStatus", ints({{"handle", 0}}), results), -1);
    EXPECT_EQ(start(service_, "wire/c"), 2);
    for (int handle : {-1, 3}) {
        EXPECT_EQ(service_.builder("width", ints({{"handle", handle}}), results), -1);
        EXPECT_EQ(results.get_int(Symbol("w"), -7), 0);
    }
    ASSERT_EQ(service_.builder("terminate", ints({{"handle", 2}}), results), 1);
    ASSERT_EQ(service_.builder("getStatus", ints({{"handle", 2}}), results), 1);
    EXPECT_EQ(results.get_int(Symbol("status")), 1);
    EXPECT_EQ(service_.builder("terminate", ints({{"handle", 2}}), results), -1);
    EXPECT_EQ(service_.builder("abort", ints({{"handle", 2}}), results), 1);
    // Names outside the root, or none at all, start nothing.
    EXPECT_EQ(start(service_, "../escaped"), -1001);
    EXPECT_EQ(start(service_, dir_.file("local/escaped").c_str()), -1001);
    EXPECT_EQ(service_.builder("start", ints({{"width", 2}}), results), -1);
    EXPECT_EQ(results.get_int(Symbol("handle")), -1);
    EXPECT_FALSE(test_support::fileExists(dir_.file("escaped.scdh")));
    // A cube whose ROI image could never be sent is refused at the start.
    EXPECT_EQ(start(service_, "wire/huge", 1 << 16, 1 << 16), tuplink::STATUS_TOO_LARGE - 1000);
}

TEST_F(BuilderInterface, LinesAreasAndRoiRequestsAreCheckedBeforeTheBuilderSeesThem) {
    const int handle = start(service_, "wire/checked");
    ASSERT_EQ(handle, 0);
    const std::vector<std::uint16_t> line = service_test::patternLine(0);
    Tuple results;
    // Before the first area: a line is taken and dropped, a ROI image is refused.
    EXPECT_EQ(service_.builder("addSpectrumLine", lineArguments(handle, line), results), 1);
    EXPECT_EQ(service_.builder("computeRoiImage", ints({{"count", 1}}), results), -1);
    EXPECT_EQ(bufferBytes(results), 0u);
    EXPECT_EQ(service_.builder("startNewArea", ints({{"handle", handle}}), results), -1);
    Tuple area = ints({{"handle", handle}});
    service_test::setArea(area, Rect{2, 1, 3, 2});
    ASSERT_EQ(service_.builder("startNewArea", area, results), 1);
    ASSERT_EQ(service_.builder("numAreas", Tuple(), results), 1);
    EXPECT_EQ(results.get_int(Symbol("n")), 1);
    // The area is 3 pixels wide: a line is exactly 3 x 5 values.
    EXPECT_EQ(service_.builder("addSpectrumLine", lineArguments(handle, line), results), -1);
    EXPECT_EQ(service_.builder("addSpectrumLine", ints({{"handle", handle}}), results), -1);
    const std::vector<std::uint16_t> areaLine(line.begin(), line.begin() + 15);
    EXPECT_EQ(service_.builder("addSpectrumLine", lineArguments(handle, areaLine), results), 1);
    // Count 0: zeros; channels beyond the depth: the buffer as sized.
    ASSERT_EQ(service_.builder("computeRoiImage", ints({{"z", 0}, {"count", 0}}), results), 1);
    EXPECT_EQ(bufferOf(results), std::vector<std::uint16_t>(24, 0));
    ASSERT_EQ(service_.builder("computeRoiImage", ints({{"z", 3}, {"count", 3}}), results), 1);
    EXPECT_EQ(bufferOf(results), std::vector<std::uint16_t>(24, 0));
    ASSERT_EQ(service_.builder("computeRoiImage", ints({{"z", 0}, {"count", 5}}), results), 1);
    const std::vector<std::uint16_t> roi = bufferOf(results);
    ASSERT_EQ(roi.size(), 24u);
    EXPECT_EQ(roi[1 * 6 + 2], static_cast<std::uint16_t>((1 + 2 + 3 + 4 + 5) * 0.5f));
    EXPECT_EQ(roi[0], 0);
    ASSERT_EQ(service_.builder("terminate", Tuple(), results), 1);
    EXPECT_EQ(service_.builder("computeRoiImage", ints({{"count", 1}}), results), -1);
}

// A factor sent as a whole number (as a script or the command line sends 2 for 2.0) scales the
// ROI images by that number, not by 0.
TEST_F(BuilderInterface, AFactorSentAsAnIntegerScalesByThatNumber) {
    Tuple arguments = ints({{"width", 6}, {"height", 4}, {"depth", 5}, {"factor", 2}});
    arguments.set_string(Symbol("name"), "wire/whole-factor");
    Tuple results;
    ASSERT_EQ(service_.builder("start", arguments, results), 1);
    Tuple area = ints({{"handle", results.get_int(Symbol("handle"))}});
    service_test::setArea(area, Rect{0, 0, 6, 4});
    ASSERT_EQ(service_.builder("startNewArea", area, results), 1);
    ASSERT_EQ(service_.builder("addSpectrumLine", lineArguments(0, service_test::patternLine(0)),
                               results),
              1);
    ASSERT_EQ(service_.builder("computeRoiImage", ints({{"z", 0}, {"count", 1}}), results), 1);
    const std::vector<std::uint16_t> roi = bufferOf(results);
    ASSERT_EQ(roi.size(), 24u);
    EXPECT_EQ(roi[3], 2 * service_test::patternCount(3, 0, 0));
    ASSERT_EQ(service_.builder("terminate", Tuple(), results), 1);
}

TEST_F(BuilderInterface, AnAcquisitionOverTheWireWritesTheSameFilesAsInProcess) {
    const test_support::FragmentedCubeModel model = test_support::overlappingAreas();
    ASSERT_EQ(model.factor, 1.0f);  // an integral float crosses the wire as a float
    FragmentedSCDBuilder local(dir_.file("local/cube"), model.width, model.height, model.depth,
                               model.factor);
    RemoteCubeBuilder remote(client_);
    ASSERT_EQ(remote.start("wire/cube", model.width, model.height, model.depth, model.factor), 1);
    std::vector<std::uint16_t> roi;
    std::vector<std::uint16_t> localRoi(std::size_t{model.width} * model.height);
    for (unsigned index = 1; index <= model.areas.size(); ++index) {
        const auto& area = model.areas[index - 1];
        ASSERT_EQ(local.startNewArea(area.rect), SC_OK);
        ASSERT_EQ(remote.newArea(area.rect), 1);
        for (unsigned y = 0; y < area.storedLines; ++y) {
            const std::vector<unsigned short> line = model.areaLine(index, y);
            ASSERT_EQ(local.addSpectrumLine(line.data()), SC_OK);
            ASSERT_EQ(remote.addLine(line), 1);
            ASSERT_EQ(local.computeRoiImage(0, model.depth, localRoi.data()), SC_OK);
            ASSERT_EQ(remote.roi(0, model.depth, roi), 1);
            EXPECT_EQ(roi, localRoi) << "area " << index << " line " << y;
        }
    }
    Tuple results;
    ASSERT_EQ(service_.builder("depth", Tuple(), results), 1);
    EXPECT_EQ(results.get_int(Symbol("d")), int(model.depth));
    ASSERT_EQ(local.close(), SC_OK);
    ASSERT_EQ(remote.terminate(), 1);
    const auto written = test_support::filesIn(dir_.file("root/wire"));
    EXPECT_EQ(written, test_support::filesIn(dir_.file("local")));
    EXPECT_EQ(written.size(), 7u);  // the map and two area cubes of three files
    for (const std::string& file : written) {
        EXPECT_EQ(test_support::readFileBytes(dir_.file("root/wire/" + file)),
                  test_support::readFileBytes(dir_.file("local/" + file)))
            << file;
    }
    EXPECT_EQ(remote.release(), 1);
}

// Whether the cube `name` holds the first `lines` lines of the acquisition pattern and nothing
// below them.
::testing::AssertionResult holdsPatternLines(const std::string& name, unsigned lines) {
    const std::unique_ptr<SCFile> cube(SCD::openSCD(name));
    if (!cube) {
        return ::testing::AssertionFailure() << name << " does not open";
    }
    using namespace service_test;
    std::vector<unsigned short> spectra(kPatternWidth * kPatternHeight * kPatternDepth);
    if (cube->readSpectrums(0, 0, kPatternWidth * kPatternHeight, spectra.data()) != SC_OK) {
        return ::testing::AssertionFailure() << "the spectra of " << name << " do not read";
    }
    for (unsigned y = 0; y < kPatternHeight; ++y) {
        for (unsigned x = 0; x < kPatternWidth; ++x) {
            if (cube->isAcquired(x, y) != (y < lines)) {
                return ::testing::AssertionFailure() << "pixel " << x << ", " << y;
            }
            for (unsigned c = 0; c < kPatternDepth; ++c) {
                const unsigned short expected = y < lines ? patternCount(x, y, c) : 0;
                if (spectra[((y * kPatternWidth) + x) * kPatternDepth + c] != expected) {
                    return ::testing::AssertionFailure()
                           << "pixel " << x << ", " << y << " channel " << c;
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_F(BuilderInterface, ACubeLeftByAKilledClientIsTerminatedByAnotherAndReadsBack) {
    test_support::ChildProcess acquisition(SERVICE_ACQUISITION_CLIENT,
                                           {host_->endpoint(), "default", "wire/killed", "3"});
    ASSERT_EQ(acquisition.read_line(), "acquiring 0");
    acquisition.signal(SIGKILL);
    EXPECT_EQ(acquisition.wait(), 128 + SIGKILL);
    Tuple results;
    ASSERT_EQ(service_.builder("getStatus", ints({{"handle", 0}}), results), 1);
    EXPECT_EQ(results.get_int(Symbol("status"), -1), 0);
    ASSERT_EQ(service_.builder("terminate", ints({{"handle", 0}}), results), 1);
    EXPECT_TRUE(holdsPatternLines(dir_.file("root/wire/killed"), 3));
    ASSERT_EQ(service_.builder("release", ints({{"handle", 0}}), results), 1);
}

TEST_F(BuilderInterface, StoppingTheHostClosesTheCubesStillBeingBuilt) {
    test_support::ChildProcess acquisition(SERVICE_ACQUISITION_CLIENT,
                                           {host_->endpoint(), "other", "wire/stopped", "2"});
    ASSERT_EQ(acquisition.read_line(), "acquiring 0");
    RemoteCubeBuilder released(client_);  // released before the stop: closed at its release
    ASSERT_EQ(released.start("wire/released", 6, 4, 5, 0.5f), 1);
    ASSERT_EQ(released.newArea(Rect{0, 0, 6, 4}), 1);
    ASSERT_EQ(released.addLine(service_test::patternLine(0)), 1);
    ASSERT_EQ(released.release(), 1);
    EXPECT_TRUE(holdsPatternLines(dir_.file("root/wire/released"), 1));
    EXPECT_EQ(host_->stop(), 0);
    EXPECT_TRUE(holdsPatternLines(dir_.file("root/wire/stopped"), 2));
}

}  // namespace

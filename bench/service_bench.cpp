// The cube service's cost over reading and building in-process, measured in the same run: a
// host in this process serves the service on tcp://127.0.0.1, and each remote operation is
// compared with the same operation on the library directly. Also the throughput of 64 clients
// reading at once against one client. The ratios are printed at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "sc_api/fragmented_scd_builder.h"
#include "sc_api/remote_cube.h"
#include "sc_api/sc_file.h"
#include "sc_api/sc_file_builder.h"
#include "sc_api/sc_service.h"
#include "sc_api/scd.h"
#include "tuplink/host.h"

extern "C" int sc_api_service_registered();

namespace {

constexpr unsigned kWidth = 128, kHeight = 128, kDepth = 1024;  // the cube that is read
constexpr unsigned kLineWidth = 256, kLineDepth = 2048;         // the lines that are sent
constexpr int kLines = 24;                                      // lines per build benchmark

std::mutex gTimesLock;
std::map<std::string, double> gTimes;  // seconds per operation, by benchmark name

void record(const benchmark::State& state, const std::string& name, double seconds) {
    if (state.thread_index() == 0) {
        std::lock_guard guard(gTimesLock);
        gTimes[name] = seconds / static_cast<double>(state.iterations());
    }
}

// The cube, the host and the directory they live in, made once.
struct Fixture {
    std::string directory;
    std::unique_ptr<tuplink::Host> host;
    std::string endpoint;
    std::unique_ptr<SCFile> cube;

    Fixture() {
        char pattern[] = "/tmp/sc_service_bench_XXXXXX";
        directory = ::mkdtemp(pattern);
        writeCube(directory + "/cube");
        cube.reset(SCD::openSCD(directory + "/cube"));
        // One whole read first, so that neither side pays for a cold file cache or for
        // starting the library's workers.
        std::vector<unsigned short> everything(std::size_t{kWidth} * kHeight * kDepth);
        if (cube) {
            cube->getImages(0, kDepth, everything.data());
        }
        SCService::setRoot(directory);
        tuplink::HostOptions options;
        options.endpoints = {"tcp://127.0.0.1:*"};
        host = std::make_unique<tuplink::Host>(options);
        if (sc_api_service_registered() == 30 && host->start() == 0) {
            endpoint = host->endpoints().front();
        }
    }
    ~Fixture() {
        host.reset();
        cube.reset();
        std::filesystem::remove_all(directory);
    }

    static void writeCube(const std::string& name) {
        auto builder = SCD::getBuilder(name, kWidth, kHeight, kDepth, 1.0f);
        std::mt19937 random(5);
        std::vector<unsigned short> line(std::size_t{kWidth} * kDepth);
        for (unsigned y = 0; y < kHeight; ++y) {
            for (auto& count : line) {
                count = static_cast<unsigned short>(random() % 8 == 0 ? random() % 40 : 0);
            }
            builder->addSpectrumLine(line.data());
        }
        builder->close();
    }
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

template <class Operation>
void timed(benchmark::State& state, const std::string& name, Operation operation) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        operation();
    }
    record(state, name,
           std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

void imagesInProcess(benchmark::State& state) {
    std::vector<unsigned short> images(std::size_t{kWidth} * kHeight * 32);
    timed(state, "images/local", [&] { fixture().cube->getImages(100, 32, images.data()); });
}

void imagesThroughService(benchmark::State& state) {
    tuplink::Client client;
    client.connect(fixture().endpoint);
    RemoteCube cube(client);
    if (cube.open("cube") != 1) {
        state.SkipWithError("the service did not open the cube");
        return;
    }
    std::vector<std::uint16_t> images;
    timed(state, "images/service", [&] { cube.images(100, 32, images); });
}

void roiInProcess(benchmark::State& state) {
    std::vector<unsigned short> roi(std::size_t{kWidth} * kHeight);
    timed(state, "roi/local", [&] { fixture().cube->computeRoiImage(0, kDepth, roi.data()); });
}

void roiThroughService(benchmark::State& state) {
    tuplink::Client client;
    client.connect(fixture().endpoint);
    RemoteCube cube(client);
    if (cube.open("cube") != 1) {
        state.SkipWithError("the service did not open the cube");
        return;
    }
    std::vector<std::uint16_t> roi;
    timed(state, "roi/service", [&] { cube.roi(0, kDepth, roi); });
}

std::vector<std::uint16_t> sentLine() {
    std::vector<std::uint16_t> line(std::size_t{kLineWidth} * kLineDepth);
    std::mt19937 random(9);
    for (auto& count : line) {
        count = static_cast<std::uint16_t>(random() % 4 == 0 ? random() % 30 : 0);
    }
    return line;
}

// Lines sent to an open area; the cube is closed (coded) outside the measured time.
void linesInProcess(benchmark::State& state) {
    const std::vector<std::uint16_t> line = sentLine();
    FragmentedSCDBuilder builder(fixture().directory + "/local", kLineWidth, kLines, kLineDepth,
                                 1.0f);
    builder.startNewArea(Rect{0, 0, kLineWidth, kLines});
    timed(state, "lines/local", [&] { builder.addSpectrumLine(line.data()); });
    builder.close();
}

void linesThroughService(benchmark::State& state) {
    const std::vector<std::uint16_t> line = sentLine();
    tuplink::Client client;
    client.connect(fixture().endpoint);
    RemoteCubeBuilder builder(client);
    if (builder.start("remote", kLineWidth, kLines, kLineDepth, 0.5f) != 1 ||
        builder.newArea(Rect{0, 0, kLineWidth, kLines}) != 1) {
        state.SkipWithError("the service did not start the cube");
        return;
    }
    timed(state, "lines/service", [&] { builder.addLine(line); });
    builder.terminate();
}

// Every thread has a client of its own and reads one channel image after another.
void clientsReading(benchmark::State& state) {
    tuplink::Client client;
    client.connect(fixture().endpoint);
    RemoteCube cube(client);
    if (cube.open("cube") != 1) {
        state.SkipWithError("the service did not open the cube");
        return;
    }
    std::vector<std::uint16_t> image;
    unsigned z = static_cast<unsigned>(state.thread_index());
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        cube.image(z++ % kDepth, image);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        std::lock_guard guard(gTimesLock);
        // Wall time per call of all threads together.
        gTimes["clients/" + std::to_string(state.threads())] =
            seconds / static_cast<double>(state.iterations() * state.threads());
    }
}

BENCHMARK(imagesInProcess)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(imagesThroughService)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(roiInProcess)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(roiThroughService)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(linesInProcess)->Iterations(kLines)->Unit(benchmark::kMillisecond);
BENCHMARK(linesThroughService)->Iterations(kLines)->Unit(benchmark::kMillisecond);
BENCHMARK(clientsReading)
    ->Threads(1)
    ->Iterations(400)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(clientsReading)
    ->Threads(64)
    ->Iterations(25)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void printRatio(const char* what, const std::string& ours, const std::string& peer) {
    if (gTimes.count(ours) != 0 && gTimes.count(peer) != 0 && gTimes[ours] > 0.0) {
        std::printf("  %-48s %6.2f\n", what, gTimes[peer] / gTimes[ours]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nspeed through the service relative to in-process (peer / ours):\n");
    printRatio("getImages of 32 channels", "images/service", "images/local");
    printRatio("computeRoiImage of all channels", "roi/service", "roi/local");
    printRatio("addSpectrumLine of 256 x 2048", "lines/service", "lines/local");
    std::printf("throughput of 64 clients relative to one (getImage calls per second):\n");
    printRatio("64 clients / 1 client", "clients/64", "clients/1");
    return 0;
}

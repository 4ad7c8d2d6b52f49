// Costs of writing SCD cubes of the 256 x 256 x 2048 demonstration cube (bench_cube.h), each
// against a peer timed in the same run:
//  - encodeVersusZstd/1 and /2: RawToSCD::encode of the cube stored by vector (32-bit raw
//    file) against compressing the same values as 16-bit data in memory with zstd at level 3
//    with 1 or 2 workers. Counters: ours_Mvalues_s, zstd_Mvalues_s, ratio = ours / zstd.
//  - buildLineByLine: SCD::getBuilder, addSpectrumLine for each of the 256 lines, close;
//    after each line the same line is written raw (16-bit) to a file of its own. Counters:
//    line_ms and raw_line_ms (medians), line_vs_raw, the medians of the first and the last
//    tenth of the lines and last_vs_first, close_ms, then encode_ms (RawToSCD::encode of the
//    same cube, in the same run, timed after a pause that lets the builder's temporary files be
//    freed) and close_vs_encode.
//  - peakMemory: the peak resident memory of a fresh process (this program started again) that
//    only runs RawToSCD::encode of the cube, or only builds it line by line from the raw file,
//    less that of one that does nothing: encode_peak_MiB, builder_peak_MiB.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <zstd.h>

#include <numeric>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench_cube.h"
#include "sc_api/scd.h"

namespace {

using namespace bench;

constexpr double kValues = double{kWidth} * kHeight * kDepth;

double encodeMilliseconds(const std::string& raw, const std::string& scd) {
    const Clock::time_point start = Clock::now();
    const int result = RawToSCD::encode(raw, scd);
    const double taken = millisecondsSince(start);
    return result == 0 ? taken : -1.0;
}

void encodeVersusZstd(benchmark::State& state) {
    DemoCube& cube = DemoCube::instance();
    const std::string raw = cube.rawCube(false);
    const std::string base = cube.file("converted");
    const auto workers = static_cast<int>(state.range(0));
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 3);
    if (ZSTD_isError(
            ZSTD_CCtx_setParameter(context, ZSTD_c_nbWorkers, workers == 1 ? 0 : workers))) {
        state.SkipWithError("this zstd has no worker threads");
        ZSTD_freeCCtx(context);
        return;
    }
    const std::size_t sourceBytes = cube.values().size() * sizeof(std::uint16_t);
    std::vector<char> compressed(ZSTD_compressBound(sourceBytes));
    std::vector<double> ours, zstd;
    for (auto _ : state) {
        const double encoded = encodeMilliseconds(raw, base);
        if (encoded < 0) {
            state.SkipWithError("RawToSCD::encode failed");
            break;
        }
        ours.push_back(encoded);
        const Clock::time_point start = Clock::now();
        const std::size_t size = ZSTD_compress2(context, compressed.data(), compressed.size(),
                                                cube.values().data(), sourceBytes);
        zstd.push_back(millisecondsSince(start));
        if (ZSTD_isError(size)) {
            state.SkipWithError("zstd failed");
            break;
        }
        state.SetIterationTime(encoded / 1000.0);
    }
    ZSTD_freeCCtx(context);
    const double oursRate = kValues / median(ours) / 1000.0;  // M values per second
    const double zstdRate = kValues / median(zstd) / 1000.0;
    state.counters["ours_Mvalues_s"] = oursRate;
    state.counters["zstd_Mvalues_s"] = zstdRate;
    state.counters["ratio"] = oursRate / zstdRate;
}
BENCHMARK(encodeVersusZstd)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The median of values[from, to).
double medianOf(const std::vector<double>& values, std::size_t from, std::size_t to) {
    return median(std::vector<double>(values.begin() + from, values.begin() + to));
}

void buildLineByLine(benchmark::State& state) {
    DemoCube& cube = DemoCube::instance();
    const std::string base = cube.file("built");
    const std::string rawLines = cube.file("raw_lines");
    const std::size_t lineBytes = std::size_t{kWidth} * kDepth * sizeof(std::uint16_t);
    std::vector<double> lines, rawTimes, closes, encodes;
    std::vector<double> firstTenth, lastTenth;
    for (auto _ : state) {
        auto builder = SCD::getBuilder(base, kWidth, kHeight, kDepth, 1.0f);
        const int raw = ::open(rawLines.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (!builder || raw < 0) {
            state.SkipWithError("no builder or no raw file");
            return;
        }
        std::vector<double> cubeLines;
        for (unsigned y = 0; y < kHeight; ++y) {
            Clock::time_point start = Clock::now();
            builder->addSpectrumLine(cube.line(y));
            cubeLines.push_back(millisecondsSince(start));
            start = Clock::now();
            if (::write(raw, cube.line(y), lineBytes) != static_cast<ssize_t>(lineBytes)) {
                state.SkipWithError("raw write failed");
            }
            rawTimes.push_back(millisecondsSince(start));
        }
        ::close(raw);
        const Clock::time_point closeStart = Clock::now();
        builder->close();
        closes.push_back(millisecondsSince(closeStart));
        state.SetIterationTime(
            (closes.back() + std::accumulate(cubeLines.begin(), cubeLines.end(), 0.0)) / 1000.0);
        lines.insert(lines.end(), cubeLines.begin(), cubeLines.end());
        firstTenth.push_back(medianOf(cubeLines, 0, kHeight / 10));
        lastTenth.push_back(medianOf(cubeLines, kHeight - kHeight / 10, kHeight));
        // The builder's temporary files, the size of the cube, are freed in the background
        // after close; the encode is timed once that is over, and so is the next cube's first
        // line.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        encodes.push_back(encodeMilliseconds(cube.rawCube(false), cube.file("converted")));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    state.counters["line_ms"] = median(lines);
    state.counters["raw_line_ms"] = median(rawTimes);
    state.counters["line_vs_raw"] = median(lines) / median(rawTimes);
    state.counters["first_tenth_ms"] = median(firstTenth);
    state.counters["last_tenth_ms"] = median(lastTenth);
    state.counters["last_vs_first"] = median(lastTenth) / median(firstTenth);
    state.counters["close_ms"] = median(closes);
    state.counters["encode_ms"] = median(encodes);
    state.counters["close_vs_encode"] = median(closes) / median(encodes);
}
BENCHMARK(buildLineByLine)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The peak resident memory, in KiB, of this program run again with `arguments` (each run
// prints its own, read from /proc when it ends); -1 on failure.
long peakKilobytesOf(const std::string& arguments) {
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        return -1;
    }
    FILE* run = ::popen((std::string(self) + " " + arguments).c_str(), "r");
    if (run == nullptr) {
        return -1;
    }
    long kilobytes = -1;
    if (std::fscanf(run, "%ld", &kilobytes) != 1) {
        kilobytes = -1;
    }
    return ::pclose(run) == 0 ? kilobytes : -1;
}

// Prints the peak resident memory of this process in KiB (VmHWM).
void printPeakKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            std::printf("%ld\n", std::strtol(line.c_str() + 6, nullptr, 10));
        }
    }
}

void peakMemory(benchmark::State& state) {
    DemoCube& cube = DemoCube::instance();
    const std::string raw = cube.rawCube(false);
    long baseline = 0, encode = 0, build = 0;
    for (auto _ : state) {
        baseline = peakKilobytesOf("--idle");
        encode = peakKilobytesOf("--encode " + raw + " " + cube.file("peak_encoded"));
        build = peakKilobytesOf("--build " + raw + " " + cube.file("peak_built"));
    }
    if (baseline < 0 || encode < 0 || build < 0) {
        state.SkipWithError("a measuring process failed");
        return;
    }
    state.counters["encode_peak_MiB"] = (encode - baseline) / 1024.0;
    state.counters["builder_peak_MiB"] = (build - baseline) / 1024.0;
}
BENCHMARK(peakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

// The line builder fed from the raw file stored by vector (32-bit values), one line at a time.
int buildFromRaw(const std::string& raw, const std::string& base) {
    auto builder = SCD::getBuilder(base, kWidth, kHeight, kDepth, 1.0f);
    std::ifstream in(raw + ".raw", std::ios::binary);
    if (!builder || !in) {
        return 1;
    }
    std::vector<std::uint32_t> words(std::size_t{kWidth} * kDepth);
    std::vector<std::uint16_t> line(words.size());
    for (unsigned y = 0; y < kHeight; ++y) {
        in.read(reinterpret_cast<char*>(words.data()),
                static_cast<std::streamsize>(words.size() * sizeof(std::uint32_t)));
        std::copy(words.begin(), words.end(), line.begin());
        builder->addSpectrumLine(line.data());
    }
    return builder->close() == SC_OK ? 0 : 1;
}

}  // namespace

// The benchmarks, or one of the measured runs of peakMemory.
int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--idle") == 0) {
        printPeakKilobytes();
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--encode") == 0) {
        const int result = RawToSCD::encode(argv[2], argv[3]);
        printPeakKilobytes();
        return result == 0 ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "--build") == 0) {
        const int result = buildFromRaw(argv[2], argv[3]);
        printPeakKilobytes();
        return result;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Costs of writing SCD cubes of a synthetic EDS acquisition of 256 x 256 pixels and 2048
// channels (300 counts per pixel on average, as the demonstration generator makes them):
//  - buildLineByLine: SCD::getBuilder, addSpectrumLine for each of the 256 lines, close. The
//    counters give the median time of a line over the whole cube, over its first quarter and
//    over its last quarter (the cost per line must not grow), the time of close, and the size
//    of the three SCD files against the 16-bit raw data.
//  - rawToSCD/0 and /1: RawToSCD::encode of the same cube stored by vector and by image;
//    bytes_per_second is the throughput in bytes of the ".raw" input (32-bit values).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sc_api/raw_to_scd.h"
#include "sc_api/scd.h"
#include "synth/eds_synthesizer.h"

namespace {

namespace fs = std::filesystem;

constexpr unsigned kWidth = 256;
constexpr unsigned kHeight = 256;
constexpr unsigned kDepth = 2048;

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// The synthetic cube and a scratch directory, made on first use and removed at exit.
class DemoCube {
  public:
    static DemoCube& instance() {
        static DemoCube cube;
        return cube;
    }

    const std::vector<std::uint16_t>& values() const { return values_; }
    const std::uint16_t* line(unsigned y) const {
        return values_.data() + std::size_t{y} * kWidth * kDepth;
    }
    std::string file(const std::string& name) const { return (directory_ / name).string(); }

    // The raw cube "raw_vector" or "raw_image", written on first use.
    std::string rawCube(bool byImage) {
        const std::string base = file(byImage ? "raw_image" : "raw_vector");
        if (!fs::exists(base + ".raw")) {
            writeRaw(base, byImage);
        }
        return base;
    }

  private:
    DemoCube() : directory_(fs::temp_directory_path() / ("scd_write_bench_" + pid())) {
        eds::SynthesisOptions options;
        options.width = kWidth;
        options.height = kHeight;
        options.channels = kDepth;
        values_ = eds::SpectrumImageSynthesizer(options).synthesizeCube();
        fs::create_directories(directory_);
    }
    ~DemoCube() {
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }

    static std::string pid() { return std::to_string(static_cast<long>(::getpid())); }

    void writeRaw(const std::string& base, bool byImage) const {
        std::ofstream rpl(base + ".rpl");
        rpl << "key\tvalue\nwidth\t" << kWidth << "\nheight\t" << kHeight << "\ndepth\t" << kDepth
            << "\noffset\t0\ndata-length\t4\ndata-type\tunsigned\n"
            << "byte-order\tlittle-endian\nrecord-by\t" << (byImage ? "image" : "vector") << "\n";
        std::ofstream raw(base + ".raw", std::ios::binary);
        std::vector<unsigned char> bytes;
        const std::size_t pixels = std::size_t{kWidth} * kHeight;
        const std::size_t count = pixels * kDepth;
        bytes.reserve(count * 4);
        for (std::size_t i = 0; i < count; ++i) {
            // By image, value i is channel i / pixels of pixel i % pixels.
            const std::uint16_t value =
                byImage ? values_[(i % pixels) * kDepth + i / pixels] : values_[i];
            bytes.push_back(static_cast<unsigned char>(value));
            bytes.push_back(static_cast<unsigned char>(value >> 8));
            bytes.push_back(0);
            bytes.push_back(0);
        }
        raw.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    fs::path directory_;
    std::vector<std::uint16_t> values_;  // the cube, spectrum after spectrum
};

std::uint64_t scdSize(const std::string& base) {
    return fs::file_size(base + ".scdh") + fs::file_size(base + ".scds") +
           fs::file_size(base + ".scdi");
}

void buildLineByLine(benchmark::State& state) {
    DemoCube& cube = DemoCube::instance();
    const std::string base = cube.file("built");
    std::vector<double> lines, firstQuarter, lastQuarter, closes;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        auto builder = SCD::getBuilder(base, kWidth, kHeight, kDepth, 1.0f);
        if (!builder) {
            state.SkipWithError("no builder");
            return;
        }
        for (unsigned y = 0; y < kHeight; ++y) {
            const Clock::time_point lineStart = Clock::now();
            builder->addSpectrumLine(cube.line(y));
            const double taken = millisecondsSince(lineStart);
            lines.push_back(taken);
            if (y < kHeight / 4) {
                firstQuarter.push_back(taken);
            } else if (y >= kHeight - kHeight / 4) {
                lastQuarter.push_back(taken);
            }
        }
        const Clock::time_point closeStart = Clock::now();
        builder->close();
        closes.push_back(millisecondsSince(closeStart));
        state.SetIterationTime(millisecondsSince(start) / 1000.0);
    }
    const double raw16 = 2.0 * kWidth * kHeight * kDepth;
    state.counters["line_ms"] = median(lines);
    state.counters["line_ms_first_quarter"] = median(firstQuarter);
    state.counters["line_ms_last_quarter"] = median(lastQuarter);
    state.counters["close_ms"] = median(closes);
    state.counters["size_vs_raw16"] = static_cast<double>(scdSize(base)) / raw16;
}
BENCHMARK(buildLineByLine)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void rawToSCD(benchmark::State& state) {
    DemoCube& cube = DemoCube::instance();
    const std::string raw = cube.rawCube(state.range(0) != 0);
    const std::string base = cube.file("converted");
    for (auto _ : state) {
        if (RawToSCD::encode(raw, base) != 0) {
            state.SkipWithError("RawToSCD::encode failed");
            return;
        }
    }
    const std::uint64_t rawBytes = fs::file_size(raw + ".raw");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rawBytes));
    state.counters["size_vs_raw16"] = static_cast<double>(scdSize(base)) / (rawBytes / 2.0);
}
BENCHMARK(rawToSCD)->Arg(0)->Arg(1)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

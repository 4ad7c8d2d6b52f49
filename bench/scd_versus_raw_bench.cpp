// Reads of the SCD cube against the same reads from a memory-mapped raw file of 32-bit values
// (the form users hold today), timed side by side in every iteration on the 256 x 256 x 2048
// demonstration cube. Counters: ours_ms and raw_ms (medians per call, in milliseconds; us for
// getSpectrum) and speed_vs_raw = raw time / our time (at least 1 means we are as fast).
//  - roiImage/30, roiImage/2048: computeRoiImage over 30 channels or all of them, against
//    summing those channels of every spectrum of the raw file stored by vector (the raw form
//    acquisitions write).
//  - regionSpectrum: a 64 x 64 region spectrum against summing the raw file stored by vector.
//  - getSpectrum: random pixels, against converting the mapped spectrum to floats.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "bench_cube.h"
#include "sc_api/pixmap_mask.h"
#include "sc_api/sc_file.h"
#include "sc_api/sc_spectrum.h"
#include "sc_api/scd.h"

namespace {

using namespace bench;

constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;

struct Cubes {
    std::unique_ptr<SCFile> scd;
    MappedFile byVector;

    static Cubes& instance() {
        static Cubes cubes;
        return cubes;
    }

  private:
    Cubes()
        : scd(SCD::openSCD(DemoCube::instance().scdCube())),
          byVector(DemoCube::instance().rawCube(false) + ".raw") {}
};

// Times ours() and raw() alternately `rounds` times after one warm-up call of each; sets the
// counters and the iteration time (ours).
template <class Ours, class Raw>
void compare(benchmark::State& state, unsigned rounds, double unit, const char* unitName, Ours ours,
             Raw raw) {
    ours();
    raw();
    std::vector<double> oursTimes, rawTimes;
    for (auto _ : state) {
        for (unsigned i = 0; i < rounds; ++i) {
            Clock::time_point start = Clock::now();
            ours();
            oursTimes.push_back(millisecondsSince(start) * unit);
            start = Clock::now();
            raw();
            rawTimes.push_back(millisecondsSince(start) * unit);
        }
        state.SetIterationTime(median(oursTimes) / unit / 1000.0);
    }
    state.counters[std::string("ours_") + unitName] = median(oursTimes);
    state.counters[std::string("raw_") + unitName] = median(rawTimes);
    state.counters["speed_vs_raw"] = median(rawTimes) / median(oursTimes);
}

void roiImage(benchmark::State& state) {
    Cubes& cubes = Cubes::instance();
    if (!cubes.scd || !cubes.byVector.valid()) {
        state.SkipWithError("cube missing");
        return;
    }
    const auto count = static_cast<unsigned>(state.range(0));
    const unsigned first = count == kDepth ? 0 : 200;
    std::vector<unsigned short> ours(kPixels), raw(kPixels);
    compare(
        state, 5, 1.0, "ms",
        [&] {
            if (cubes.scd->computeRoiImage(first, count, ours.data()) != SC_OK) {
                state.SkipWithError("computeRoiImage failed");
            }
        },
        [&] {
            for (std::size_t p = 0; p < kPixels; ++p) {
                const std::uint32_t* spectrum = cubes.byVector.words() + p * kDepth + first;
                std::uint64_t sum = 0;
                for (unsigned c = 0; c < count; ++c) {
                    sum += spectrum[c];
                }
                raw[p] = static_cast<unsigned short>(sum);
            }
        });
    if (ours != raw) {
        state.SkipWithError("the ROI images differ");
    }
}
BENCHMARK(roiImage)->Arg(30)->Arg(kDepth)->Iterations(1)->UseManualTime()->Unit(
    benchmark::kMillisecond);

class SquareMask : public PixmapMask {
  public:
    explicit SquareMask(unsigned side) : side_(side) {}
    unsigned width() const override { return side_; }
    unsigned height() const override { return side_; }
    bool isSelected(unsigned, unsigned) const override { return true; }

  private:
    unsigned side_;
};

void regionSpectrum(benchmark::State& state) {
    Cubes& cubes = Cubes::instance();
    if (!cubes.scd || !cubes.byVector.valid()) {
        state.SkipWithError("cube missing");
        return;
    }
    constexpr unsigned kSide = 64;
    constexpr int kX0 = 96;
    constexpr int kY0 = 96;
    const SquareMask mask(kSide);
    SCAllocatedSpectrum ours(kDepth);
    std::vector<std::uint64_t> sums(kDepth);
    std::int64_t pixels = 0;
    compare(
        state, 5, 1.0, "ms",
        [&] {
            if (cubes.scd->computeRegionSpectrum(kX0, kY0, mask, ours, pixels) != SC_OK) {
                state.SkipWithError("computeRegionSpectrum failed");
            }
        },
        [&] {
            std::fill(sums.begin(), sums.end(), 0);
            for (unsigned y = kY0; y < kY0 + kSide; ++y) {
                for (unsigned x = kX0; x < kX0 + kSide; ++x) {
                    const std::uint32_t* spectrum =
                        cubes.byVector.words() + (std::size_t{y} * kWidth + x) * kDepth;
                    for (unsigned c = 0; c < kDepth; ++c) {
                        sums[c] += spectrum[c];
                    }
                }
            }
        });
    for (unsigned c = 0; c < kDepth; ++c) {
        if (ours[c] != static_cast<float>(sums[c])) {
            state.SkipWithError("the region spectra differ");
            break;
        }
    }
}
BENCHMARK(regionSpectrum)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void getSpectrum(benchmark::State& state) {
    Cubes& cubes = Cubes::instance();
    if (!cubes.scd || !cubes.byVector.valid()) {
        state.SkipWithError("cube missing");
        return;
    }
    SCAllocatedSpectrum ours(kDepth), raw(kDepth);
    std::mt19937 random(7);
    unsigned x = 0, y = 0;
    compare(
        state, 2000, 1000.0, "us",
        [&] {
            x = random() % kWidth;
            y = random() % kHeight;
            cubes.scd->getSpectrum(x, y, ours);
        },
        [&] {
            const std::uint32_t* spectrum =
                cubes.byVector.words() + (std::size_t{y} * kWidth + x) * kDepth;
            for (unsigned c = 0; c < kDepth; ++c) {
                raw[c] = static_cast<float>(spectrum[c]);
            }
            benchmark::DoNotOptimize(raw[0]);
        });
    for (unsigned c = 0; c < kDepth; ++c) {
        if (ours[c] != raw[c]) {
            state.SkipWithError("the spectra differ");
            break;
        }
    }
}
BENCHMARK(getSpectrum)->Iterations(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

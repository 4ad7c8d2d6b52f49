#pragma once

// The cube that the benchmarks share: a synthetic energy-dispersive map of 256 x 256 pixels and
// 2048 channels (about 300 counts per pixel, as the demonstration generator makes them), kept
// in memory, with its raw files (32-bit values, by vector and by image) and its SCD form written
// on first use into a scratch directory removed at exit. MappedFile maps a file for the peers
// that read raw data through memory mapping.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sc_api/raw_to_scd.h"
#include "synth/eds_synthesizer.h"

namespace bench {

namespace fs = std::filesystem;

constexpr unsigned kWidth = 256;
constexpr unsigned kHeight = 256;
constexpr unsigned kDepth = 2048;

using Clock = std::chrono::steady_clock;

inline double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

class DemoCube {
  public:
    static DemoCube& instance() {
        static DemoCube cube;
        return cube;
    }

    // The cube, spectrum after spectrum.
    const std::vector<std::uint16_t>& values() const { return values_; }
    const std::uint16_t* line(unsigned y) const {
        return values_.data() + std::size_t{y} * kWidth * kDepth;
    }
    std::string file(const std::string& name) const { return (directory_ / name).string(); }

    // The raw cube "raw_vector" or "raw_image" (base name), written on first use.
    std::string rawCube(bool byImage) {
        const std::string base = file(byImage ? "raw_image" : "raw_vector");
        if (!fs::exists(base + ".raw")) {
            writeRaw(base, byImage);
        }
        return base;
    }

    // The cube converted to SCD (base name), written on first use.
    std::string scdCube() {
        const std::string base = file("scd");
        if (!fs::exists(base + ".scdh")) {
            RawToSCD::encode(rawCube(false), base);
        }
        return base;
    }

  private:
    DemoCube()
        : directory_(fs::temp_directory_path() /
                     ("sc_api_bench_" + std::to_string(static_cast<long>(::getpid())))) {
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

    void writeRaw(const std::string& base, bool byImage) const {
        std::ofstream rpl(base + ".rpl");
        rpl << "key\tvalue\nwidth\t" << kWidth << "\nheight\t" << kHeight << "\ndepth\t" << kDepth
            << "\noffset\t0\ndata-length\t4\ndata-type\tunsigned\n"
            << "byte-order\tlittle-endian\nrecord-by\t" << (byImage ? "image" : "vector") << "\n";
        std::ofstream raw(base + ".raw", std::ios::binary);
        const std::size_t pixels = std::size_t{kWidth} * kHeight;
        std::vector<std::uint32_t> words(pixels);
        for (std::size_t part = 0; part < kDepth; ++part) {
            // By image, part is a channel; by vector, a run of `pixels` values of the cube.
            for (std::size_t i = 0; i < pixels; ++i) {
                words[i] = byImage ? values_[i * kDepth + part] : values_[part * pixels + i];
            }
            raw.write(reinterpret_cast<const char*>(words.data()),
                      static_cast<std::streamsize>(words.size() * sizeof(std::uint32_t)));
        }
        raw.close();
        // On disk before anything is timed, as an acquired file would be: the system's writing
        // back of half a gigabyte would otherwise compete with the first runs for the cores.
        const int written = ::open((base + ".raw").c_str(), O_RDONLY | O_CLOEXEC);
        if (written >= 0) {
            ::fsync(written);
            ::close(written);
        }
    }

    fs::path directory_;
    std::vector<std::uint16_t> values_;  // the cube, spectrum after spectrum
};

// A whole file mapped read-only, its pages mapped in at once.
class MappedFile {
  public:
    explicit MappedFile(const std::string& path) {
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat status {};
        if (descriptor >= 0 && ::fstat(descriptor, &status) == 0 && status.st_size > 0) {
            size_ = static_cast<std::size_t>(status.st_size);
            void* address =
                ::mmap(nullptr, size_, PROT_READ, MAP_SHARED | MAP_POPULATE, descriptor, 0);
            data_ = address == MAP_FAILED ? nullptr : address;
        }
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
    ~MappedFile() {
        if (data_ != nullptr) {
            ::munmap(data_, size_);
        }
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::uint32_t* words() const { return static_cast<const std::uint32_t*>(data_); }
    bool valid() const { return data_ != nullptr; }

  private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace bench

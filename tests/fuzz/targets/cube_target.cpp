// A whole compressed cube from one input: its header, spectrum and image files, opened and read.
#include <algorithm>
#include <fstream>
#include <memory>
#include <numeric>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "fuzz/targets/fuzz_input.h"
#include "sc_api/sc_file.h"
#include "sc_api/scd.h"

namespace fuzz {
namespace {

// Cubes claiming more values than this are opened but not read whole.
constexpr std::uint64_t kMostValuesRead = 1 << 18;
constexpr std::size_t kGuard = 8;
constexpr unsigned short kUntouched = 0xA5A5;

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A buffer of `size` values between guards.
class Guarded {
  public:
    explicit Guarded(std::uint64_t size) : values_(size + 2 * kGuard, kUntouched) {}
    unsigned short* data() { return values_.data() + kGuard; }
    bool guardsIntact() const {
        const auto untouched = [](unsigned short v) { return v == kUntouched; };
        return std::all_of(values_.begin(), values_.begin() + kGuard, untouched) &&
               std::all_of(values_.end() - kGuard, values_.end(), untouched);
    }

  private:
    std::vector<unsigned short> values_;
};

bool decodedOrDamaged(int result) {
    return result == SC_OK || result == SC_FORMAT_ERROR;
}

void readWhole(SCFile& cube) {
    const std::uint64_t w = cube.width();
    const std::uint64_t pixels = w * cube.height();
    const unsigned d = cube.depth();
    if (pixels * std::max(d, 1u) > kMostValuesRead) {
        return;
    }
    Guarded spectra(pixels * d), images(pixels * d), roi(pixels);
    if (pixels != 0) {  // a run of spectra starts at a pixel of the cube
        check(decodedOrDamaged(
            cube.readSpectrums(0, 0, static_cast<unsigned>(pixels), spectra.data())));
    }
    check(decodedOrDamaged(cube.readImages(0, d, images.data())));
    check(decodedOrDamaged(cube.computeRoiImage(0, d, roi.data())));
    if (d > kMostValuesRead) {  // an empty cube of many channels: the lists below would be huge
        check(pixels == 0 && images.guardsIntact() && roi.guardsIntact());
        return;
    }
    std::vector<unsigned> channels(d);
    std::iota(channels.rbegin(), channels.rend(), 0u);
    std::vector<unsigned short*> outs;
    for (unsigned c = 0; c < d; ++c) {
        outs.push_back(images.data() + c * pixels);
    }
    check(decodedOrDamaged(cube.readImagesAt(channels, outs)));
    check(spectra.guardsIntact() && images.guardsIntact() && roi.guardsIntact());
}

}  // namespace

int scdCube(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::string base = scratchDirectory() + "/cube";
    const std::uint64_t headerBytes = input.number(2);
    const std::uint64_t spectrumBytes = input.number(2);
    writeFile(base + SCD::HEADER_EXTENSION, input.bytes(headerBytes));
    writeFile(base + SCD::SPECTRUM_FILE_EXTENSION, input.bytes(spectrumBytes));
    writeFile(base + SCD::IMAGE_FILE_EXTENSION, input.rest());
    const std::unique_ptr<SCFile> cube(SCD::openSCD(base));
    if (cube) {
        readWhole(*cube);
    }
    return 0;
}

}  // namespace fuzz

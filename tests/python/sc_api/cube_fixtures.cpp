// Writes the cubes that the Python tests read, in every form the library has, together with
// what the library's own reads return for them, so that the tests compare the Python package
// with the C++ reads value for value.
//
// Usage: python_cube_fixtures DIRECTORY
// Writes vector.raw, image.raw (raw, both orders), built.scdh (compressed, built line by line),
// scaled.scdh (factor 0.5) and tiled.scdh (fragmented: a full area, then an area of which only
// the first lines were acquired), each with NAME.spectra (float32, getSpectrums of every pixel),
// NAME.images (uint16, getImages of every channel), NAME.roi (uint16, computeRoiImage of every
// channel), NAME.subroi (uint16, computeSubRoiImage of channels 3..32 over x 2..6, y 1..4) and
// NAME.region_a / NAME.region_b (float32 spectrum then the pixel count as float32, of
// computeRegionSpectrum with the checkerboard mask of 5 x 4 at (x, y) = (-1, -2) and (4, 3)).
#include <cstdio>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "sc_api/sc_api.h"

namespace {

constexpr unsigned kWidth = 11, kHeight = 7, kDepth = 37;

// The counts of the test cube; the Python tests compute the same formula.
unsigned short countAt(unsigned x, unsigned y, unsigned c) {
    if (x == 1 && y == 1 && (c == 2 || c == 3)) {
        return 40000;
    }
    if ((x + y + c) % 5 == 0) {
        return 0;
    }
    return static_cast<unsigned short>((x * 7 + y * 13 + c * 3 + x * y) % 23);
}

// Line y of the columns x0 .. x0+width-1.
std::vector<unsigned short> lineOf(unsigned y, unsigned x0, unsigned width) {
    std::vector<unsigned short> line(std::size_t{width} * kDepth);
    for (unsigned x = 0; x < width; ++x) {
        for (unsigned c = 0; c < kDepth; ++c) {
            line[std::size_t{x} * kDepth + c] = countAt(x0 + x, y, c);
        }
    }
    return line;
}

bool buildWhole(SCFileBuilder* builder) {
    if (builder == nullptr) {
        return false;
    }
    for (unsigned y = 0; y < kHeight; ++y) {
        if (builder->addSpectrumLine(lineOf(y, 0, kWidth).data()) != SC_OK) {
            return false;
        }
    }
    return builder->close() == SC_OK;
}

bool buildTiled(const std::string& base) {
    FragmentedSCDBuilder builder(base, kWidth, kHeight, kDepth, 1.0f);
    const Rect left{0, 0, 6, kHeight}, right{6, 0, kWidth - 6, kHeight};
    bool ok = builder.startNewArea(left) == SC_OK;
    for (unsigned y = 0; ok && y < kHeight; ++y) {
        ok = builder.addSpectrumLine(lineOf(y, left.x, left.width).data()) == SC_OK;
    }
    ok = ok && builder.startNewArea(right) == SC_OK;
    for (unsigned y = 0; ok && y < 4; ++y) {
        ok = builder.addSpectrumLine(lineOf(y, right.x, right.width).data()) == SC_OK;
    }
    return ok && builder.close() == SC_OK;
}

class Checkerboard : public PixmapMask {
  public:
    unsigned width() const override { return 5; }
    unsigned height() const override { return 4; }
    bool isSelected(unsigned x, unsigned y) const override { return (x + y) % 2 == 0; }
};

template <class T>
bool save(const std::string& path, const std::vector<T>& values) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(values.data()),
              static_cast<std::streamsize>(values.size() * sizeof(T)));
    return static_cast<bool>(out);
}

bool saveRegion(SCFile& cube, int x0, int y0, const std::string& path) {
    SCAllocatedSpectrum spectrum(kDepth);
    std::int64_t pixels = 0;
    if (cube.computeRegionSpectrum(x0, y0, Checkerboard(), spectrum, pixels) != SC_OK) {
        return false;
    }
    std::vector<float> values(kDepth + 1);
    for (unsigned c = 0; c < kDepth; ++c) {
        values[c] = spectrum[c];
    }
    values[kDepth] = static_cast<float>(pixels);
    return save(path, values);
}

// Dumps the library's reads of the cube opened by `file` into `dir`/`name`.*.
bool dumpReads(const std::string& dir, const std::string& file) {
    SharedPtr<SCFile, SCDeleteFile> cube(SCIO::getSCCubeLoader().load(dir + "/" + file));
    if (!cube) {
        return false;
    }
    const std::string out = dir + "/" + file.substr(0, file.find('.'));
    const unsigned pixels = kWidth * kHeight;
    std::deque<SCAllocatedSpectrum> spectra;
    std::vector<SCSpectrum*> pointers;
    for (unsigned p = 0; p < pixels; ++p) {
        pointers.push_back(&spectra.emplace_back(kDepth));
    }
    std::vector<float> values;
    std::vector<unsigned short> images(std::size_t{pixels} * kDepth), roi(pixels), subRoi(5 * 4);
    bool ok = cube->getSpectrums(0, 0, pixels, pointers) == SC_OK &&
              cube->getImages(0, kDepth, images.data()) == SC_OK &&
              cube->computeRoiImage(0, kDepth, roi.data()) == SC_OK &&
              cube->computeSubRoiImage(3, 30, Rect{2, 1, 5, 4}, subRoi.data()) == SC_OK;
    for (const SCAllocatedSpectrum& spectrum : spectra) {
        for (unsigned c = 0; c < kDepth; ++c) {
            values.push_back(spectrum[c]);
        }
    }
    return ok && save(out + ".spectra", values) && save(out + ".images", images) &&
           save(out + ".roi", roi) && save(out + ".subroi", subRoi) &&
           saveRegion(*cube, -1, -2, out + ".region_a") &&
           saveRegion(*cube, 4, 3, out + ".region_b");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: python_cube_fixtures DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    const SCRawHeader byVector(kWidth, kHeight, kDepth, SCRawHeader::RECORD_BY_VECTOR);
    const SCRawHeader byImage(kWidth, kHeight, kDepth, SCRawHeader::RECORD_BY_IMAGE);
    const bool built =
        buildWhole(SCRawIO::getBuilder(dir + "/vector", byVector).get()) &&
        buildWhole(SCRawIO::getBuilder(dir + "/image", byImage).get()) &&
        buildWhole(SCD::getBuilder(dir + "/built", kWidth, kHeight, kDepth, 1.0f).get()) &&
        buildWhole(SCD::getBuilder(dir + "/scaled", kWidth, kHeight, kDepth, 0.5f).get()) &&
        buildTiled(dir + "/tiled");
    if (!built) {
        std::fprintf(stderr, "python_cube_fixtures: cannot build the cubes in %s\n", dir.c_str());
        return 1;
    }
    for (const char* file :
         {"vector.raw", "image.raw", "built.scdh", "scaled.scdh", "tiled.scdh"}) {
        if (!dumpReads(dir, file)) {
            std::fprintf(stderr, "python_cube_fixtures: cannot read back %s\n", file);
            return 1;
        }
    }
    return 0;
}

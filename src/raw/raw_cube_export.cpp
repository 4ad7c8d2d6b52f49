#include "raw/raw_cube_export.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "api/sample_buffer.h"
#include "api/scaled_count.h"
#include "raw/raw_data_file.h"
#include "raw/raw_data_io.h"
#include "raw/raw_header_io.h"
#include "sc_api/sc_spectrum.h"

namespace {

// A spectrum over floats owned by someone else.
class SpectrumView : public SCSpectrum {
  public:
    SpectrumView(float* values, unsigned size) : values_(values), size_(size) {}

    unsigned size() const override { return size_; }
    float& operator[](unsigned i) override { return values_[i]; }
    float operator[](unsigned i) const override { return values_[i]; }

  private:
    float* values_;  // size_ channels
    unsigned size_;
};

std::uint32_t low32(float value) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(truncateToInt64(value)));
}

SCErrorCode writeImageByImage(const SCCube& cube, OutputFileStream& out) {
    const std::uint64_t pixels = std::uint64_t{cube.width()} * cube.height();
    if (pixels == 0) {
        return SC_OK;  // no value to write, whatever the depth
    }
    auto image = allocateSamples<unsigned short>(pixels);
    if (!image) {
        return SC_ALLOCATION_ERROR;
    }
    for (unsigned c = 0; c < cube.depth(); ++c) {
        std::fill_n(image.get(), pixels, 0);
        const SCErrorCode read = cube.getImage(c, image.get());
        if (read != SC_OK) {
            return read;
        }
        if (!writeValues(out, pixels, [&](std::uint64_t p) { return image[p]; })) {
            return SC_WRITE_ERROR;
        }
    }
    return SC_OK;
}

// Reads row y into the spectra of `row`: in one run when the cube serves it, else pixel by
// pixel. The first failure of a pixel's read.
SCErrorCode readRow(const SCCube& cube, unsigned y, const std::vector<SCSpectrum*>& row) {
    if (cube.getSpectrums(0, y, cube.width(), row) == SC_OK) {
        return SC_OK;
    }
    for (unsigned x = 0; x < row.size(); ++x) {
        const SCErrorCode read = cube.getSpectrum(x, y, *row[x]);
        if (read != SC_OK) {
            return read;
        }
    }
    return SC_OK;
}

SCErrorCode writeSpectrumBySpectrum(const SCCube& cube, OutputFileStream& out) {
    const unsigned w = cube.width();
    const unsigned d = cube.depth();
    const std::uint64_t lineValues = cube.height() != 0 ? std::uint64_t{w} * d : 0;
    if (lineValues == 0) {
        return SC_OK;  // no value to write, however many empty lines are claimed
    }
    auto line = allocateSamples<float>(lineValues);
    if (!line) {
        return SC_ALLOCATION_ERROR;
    }
    std::vector<SpectrumView> views;
    std::vector<SCSpectrum*> row;
    views.reserve(w);
    for (unsigned x = 0; x < w; ++x) {
        views.emplace_back(line.get() + std::uint64_t{x} * d, d);
        row.push_back(&views.back());
    }
    for (unsigned y = 0; y < cube.height(); ++y) {
        const SCErrorCode read = readRow(cube, y, row);
        if (read != SC_OK) {
            return read;
        }
        if (!writeValues(out, lineValues, [&](std::uint64_t i) { return low32(line[i]); })) {
            return SC_WRITE_ERROR;
        }
    }
    return SC_OK;
}

}  // namespace

SCErrorCode exportRawCube(const std::string& base, const SCCube& cube,
                          SCRawHeader::StorageFormat format) {
    const std::string dataPath = base + ".raw";
    const auto* rawSource = dynamic_cast<const RawDataFile*>(&cube);
    if (rawSource != nullptr && rawSource->isDataFile(dataPath)) {
        return SC_FILE_ERROR;
    }
    // The header goes last: no header ever describes a data file being written.
    std::remove((base + ".rpl").c_str());
    SystemOutputFileStream out(dataPath);
    if (!out.truncate()) {
        return SC_FILE_ERROR;
    }
    const bool byImage = format == SCRawHeader::RECORD_BY_IMAGE;
    const SCRawHeader header(
        cube.width(), cube.height(), cube.depth(),
        byImage ? SCRawHeader::RECORD_BY_IMAGE : SCRawHeader::RECORD_BY_VECTOR);
    SCErrorCode result =
        byImage ? writeImageByImage(cube, out) : writeSpectrumBySpectrum(cube, out);
    if (result == SC_OK && out.close() == 0) {
        result = SC_WRITE_ERROR;
    }
    if (result == SC_OK) {
        result = writeSCRawHeader(base + ".rpl", header);
    }
    if (result != SC_OK) {
        out.close();
        std::remove(dataPath.c_str());
    }
    return result;
}

#include "raw/raw_image_builder.h"

#include "api/sample_buffer.h"
#include "api/scaled_count.h"
#include "raw/raw_data_io.h"

namespace {

SCRawHeader imageHeader(const SCRawHeader& header) {
    return SCRawHeader(header.width(), header.height(), header.depth(),
                       SCRawHeader::RECORD_BY_IMAGE);
}

// Scale factor of the counts a builder receives.
constexpr float kBuilderFactor = 1.0f;

}  // namespace

SCRawImageBuilder::SCRawImageBuilder(const std::string& base, const SCRawHeader& header)
    : RawCubeBuilder(base, imageHeader(header)) {
    if (isOpen() && !extendTo(data(), dataLength())) {
        discardData();
    }
}

SCErrorCode SCRawImageBuilder::computeRoiImage(unsigned first, unsigned count,
                                               unsigned short* out) {
    if (std::uint64_t{first} + count > depth()) {
        return SC_OUT_OF_RANGE;
    }
    if (!isOpen()) {
        return SC_FILE_ERROR;
    }
    const std::uint64_t pixels = std::uint64_t{width()} * height();
    auto sums = allocateZeroedSamples<std::uint64_t>(pixels);
    if (!sums) {
        return SC_ALLOCATION_ERROR;
    }
    SystemInputFileStream input(dataPath());
    if (!input.isOpen() || !input.seekTo(first * pixels * kBytesPerValue)) {
        return SC_FILE_ERROR;
    }
    std::uint64_t pixel = 0;
    const bool complete = readValues(input, count * pixels, [&](std::uint64_t, std::uint32_t v) {
        sums[pixel] += v;
        if (++pixel == pixels) {
            pixel = 0;
        }
    });
    if (!complete) {
        return SC_FORMAT_ERROR;
    }
    for (std::uint64_t p = 0; p < pixels; ++p) {
        out[p] = scaleToLow16(sums[p], kBuilderFactor);
    }
    return SC_OK;
}

SCErrorCode SCRawImageBuilder::writeLine(unsigned y, const unsigned short* line) {
    const unsigned w = width();
    const unsigned d = depth();
    for (unsigned c = 0; c < d; ++c) {
        const auto valueAt = [line, c, d](std::uint64_t x) { return line[x * d + c]; };
        bool allZero = true;
        for (unsigned x = 0; x < w && allZero; ++x) {
            allZero = valueAt(x) == 0;
        }
        if (allZero) {
            continue;
        }
        const std::uint64_t row = (std::uint64_t{c} * height() + y) * w;
        if (!data().seekTo(row * kBytesPerValue) || !writeValues(data(), w, valueAt)) {
            return SC_WRITE_ERROR;
        }
    }
    return SC_OK;
}

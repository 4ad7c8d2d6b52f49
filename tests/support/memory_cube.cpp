#include "support/memory_cube.h"

namespace test_support {

MemoryCube::MemoryCube(unsigned width, unsigned height, unsigned depth, Counts counts)
    : width_(width), height_(height), depth_(depth), counts_(std::move(counts)) {}

SCErrorCode MemoryCube::readSpectrumsAt(const std::vector<SCPixelPosition>& positions,
                                        const std::vector<unsigned short*>& outs) {
    spectrumBatches.push_back(static_cast<unsigned>(positions.size()));
    if (failing()) {
        return failure_;
    }
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const auto [x, y] = positions[i];
        if (x >= width_ || y >= height_) {
            return SC_OUT_OF_RANGE;
        }
        pixelsRead.push_back(positions[i]);
        for (unsigned c = 0; c < depth_; ++c) {
            outs.at(i)[c] = counts_(x, y, c);
        }
    }
    return SC_OK;
}

SCErrorCode MemoryCube::readSpectrums(unsigned x, unsigned y, unsigned count, unsigned short* out) {
    spectrumRuns.push_back(count);
    if (failing()) {
        return failure_;
    }
    const std::size_t first = std::size_t{y} * width_ + x;
    if (x >= width_ || y >= height_ || first + count > std::size_t{width_} * height_) {
        return SC_OUT_OF_RANGE;
    }
    for (std::size_t p = first; p < first + count; ++p) {
        for (unsigned c = 0; c < depth_; ++c) {
            *out++ = counts_(p % width_, p / width_, c);
        }
    }
    return SC_OK;
}

SCErrorCode MemoryCube::readImagesAt(const std::vector<unsigned>& channels,
                                     const std::vector<unsigned short*>& outs) {
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const SCErrorCode result = readImages(channels[i], 1, outs.at(i));
        if (result != SC_OK) {
            return result;
        }
    }
    return SC_OK;
}

SCErrorCode MemoryCube::readImages(unsigned first, unsigned count, unsigned short* out) {
    imageRuns.push_back(count);
    if (failing()) {
        return failure_;
    }
    if (std::size_t{first} + count > depth_) {
        return SC_OUT_OF_RANGE;
    }
    for (unsigned c = first; c < first + count; ++c) {
        for (unsigned y = 0; y < height_; ++y) {
            for (unsigned x = 0; x < width_; ++x) {
                *out++ = counts_(x, y, c);
            }
        }
    }
    return SC_OK;
}

}  // namespace test_support

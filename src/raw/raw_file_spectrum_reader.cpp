#include "raw/raw_file_spectrum_reader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "raw/raw_data_io.h"

namespace {

// Largest read of a spectrum-ordered file, in bytes.
constexpr std::uint64_t kVectorChunkBytes = 4u << 20;

}  // namespace

bool SCRawFileSpectrumReader::open(const std::string& dataPath) {
    nextPixel_ = 0;
    windowCount_ = 0;
    return stream_.open(dataPath.c_str(), GENERIC_READ);
}

int SCRawFileSpectrumReader::read(unsigned short* buffer, unsigned count) {
    if (!stream_.isOpen()) {
        return -1;
    }
    const std::uint64_t left = pixelCount() - std::min(nextPixel_, pixelCount());
    const auto wanted = static_cast<unsigned>(std::min<std::uint64_t>({count, left, INT_MAX}));
    if (wanted == 0) {
        return 0;
    }
    if (depth() == 0) {
        nextPixel_ += wanted;
        return static_cast<int>(wanted);
    }
    const int delivered = header_.format() == SCRawHeader::RECORD_BY_IMAGE
                              ? readByImage(buffer, wanted)
                              : readByVector(buffer, wanted);
    if (delivered > 0) {
        nextPixel_ += static_cast<unsigned>(delivered);
    }
    return delivered;
}

int SCRawFileSpectrumReader::readByVector(unsigned short* buffer, unsigned count) {
    const std::uint64_t spectrumBytes = std::uint64_t{depth()} * kBytesPerValue;
    const std::uint64_t wanted = count * spectrumBytes;
    const std::uint64_t chunkBytes = std::min(wanted, kVectorChunkBytes);
    bytes_.resize(static_cast<std::size_t>(chunkBytes));
    std::uint64_t done = 0;
    while (done < wanted) {
        const auto n = static_cast<unsigned>(std::min(wanted - done, chunkBytes));
        const int got = stream_.read(bytes_.data(), n);
        if (got < 0) {
            return -1;
        }
        narrowToLow16(bytes_.data(), static_cast<unsigned>(got) / kBytesPerValue,
                      buffer + done / kBytesPerValue);
        done += static_cast<unsigned>(got);
        if (static_cast<unsigned>(got) < n) {
            break;
        }
    }
    return static_cast<int>(done / spectrumBytes);
}

int SCRawFileSpectrumReader::readByImage(unsigned short* buffer, unsigned count) {
    const unsigned d = depth();
    unsigned delivered = 0;
    while (delivered < count) {
        const std::uint64_t pixel = nextPixel_ + delivered;
        if (pixel < windowFirst_ || pixel >= windowFirst_ + windowCount_) {
            const std::uint64_t ahead = std::max<std::uint64_t>(windowValues_ / d, 1);
            if (!fillWindow(pixel, std::max<std::uint64_t>(count - delivered, ahead))) {
                return delivered == 0 ? -1 : static_cast<int>(delivered);
            }
        }
        const auto n = static_cast<unsigned>(
            std::min<std::uint64_t>(count - delivered, windowFirst_ + windowCount_ - pixel));
        std::memcpy(buffer + std::uint64_t{delivered} * d,
                    window_.data() + (pixel - windowFirst_) * d,
                    std::uint64_t{n} * d * sizeof(unsigned short));
        delivered += n;
    }
    return static_cast<int>(delivered);
}

bool SCRawFileSpectrumReader::fillWindow(std::uint64_t first, std::uint64_t count) {
    const unsigned d = depth();
    const std::uint64_t pixels = pixelCount();
    count = std::min(count, pixels - first);
    windowCount_ = 0;
    window_.resize(static_cast<std::size_t>(count * d));
    // The channel images are read a group of channels at a time and then spread into the
    // spectra, so that each spectrum's values of a group are stored together.
    constexpr unsigned kGroup = 16;
    images_.resize(static_cast<std::size_t>(kGroup * count));
    ValueReader values(count);
    for (unsigned group = 0; group < d; group += kGroup) {
        const unsigned channels = std::min(kGroup, d - group);
        for (unsigned k = 0; k < channels; ++k) {
            if (!stream_.seekTo((std::uint64_t{group + k} * pixels + first) * kBytesPerValue) ||
                !values.readLow16(stream_, count, images_.data() + k * count)) {
                return false;
            }
        }
        for (std::uint64_t p = 0; p < count; ++p) {
            unsigned short* spectrum = window_.data() + p * d + group;
            for (unsigned k = 0; k < channels; ++k) {
                spectrum[k] = images_[k * count + p];
            }
        }
    }
    windowFirst_ = first;
    windowCount_ = count;
    return true;
}

bool SCRawFileSpectrumReader::rewind() {
    nextPixel_ = 0;
    return stream_.seekTo(0);
}

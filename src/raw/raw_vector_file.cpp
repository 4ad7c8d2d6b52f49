#include "raw/raw_vector_file.h"

#include "raw/raw_data_io.h"

namespace {

// Below this many bytes of unwanted channels between two wanted runs, reading straight through
// them is cheaper than seeking over them.
constexpr std::uint64_t kSeekWorthyGap = 4096;

}  // namespace

SCRawVectorFile::SCRawVectorFile(const SCRawHeader& header, const std::string& dataPath)
    : RawDataFile(header, dataPath) {}

SCErrorCode SCRawVectorFile::readSpectrums(unsigned x, unsigned y, unsigned count,
                                           unsigned short* out) {
    const SCErrorCode check = checkPixelRun(x, y, count);
    if (check != SC_OK) {
        return check;
    }
    const std::uint64_t firstPixel = std::uint64_t{y} * width() + x;
    if (!data().seekTo(firstPixel * depth() * kBytesPerValue)) {
        return SC_FILE_ERROR;
    }
    return readLow16(data(), std::uint64_t{count} * depth(), out) ? SC_OK : SC_FORMAT_ERROR;
}

SCErrorCode SCRawVectorFile::readImages(unsigned first, unsigned count, unsigned short* out) {
    const SCErrorCode check = checkChannels(first, count);
    if (check != SC_OK || count == 0) {
        return check;
    }
    const std::uint64_t pixels = pixelCount();
    const unsigned d = depth();
    if (std::uint64_t{d - count} * kBytesPerValue < kSeekWorthyGap) {
        // Every value of the file passes by, in order; keep channels first .. first+count-1.
        unsigned channel = 0;
        std::uint64_t pixel = 0;
        const bool complete =
            data().seekTo(0) &&
            readValues(data(), pixels * d, [&](std::uint64_t, std::uint32_t value) {
                if (channel >= first && channel - first < count) {
                    out[(channel - first) * pixels + pixel] = static_cast<unsigned short>(value);
                }
                if (++channel == d) {
                    channel = 0;
                    ++pixel;
                }
            });
        return complete ? SC_OK : SC_FORMAT_ERROR;
    }
    ValueReader reader(count);
    for (std::uint64_t p = 0; p < pixels; ++p) {
        if (!data().seekTo((p * d + first) * kBytesPerValue)) {
            return SC_FILE_ERROR;
        }
        if (!reader.readLow16(data(), count, out + p, pixels)) {
            return SC_FORMAT_ERROR;
        }
    }
    return SC_OK;
}

SCErrorCode SCRawVectorFile::saveAs(const std::string& base, SCRawHeader::StorageFormat format) {
    return saveLineByLine(base, format);
}

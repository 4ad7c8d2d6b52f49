#include "raw/raw_image_file.h"

#include <cstdio>

#include "api/sample_buffer.h"
#include "raw/raw_data_io.h"
#include "raw/raw_header_io.h"

SCRawImageFile::SCRawImageFile(const SCRawHeader& header, const std::string& dataPath)
    : RawDataFile(header, dataPath) {}

SCErrorCode SCRawImageFile::readSpectrums(unsigned x, unsigned y, unsigned count,
                                          unsigned short* out) {
    const SCErrorCode check = checkPixelRun(x, y, count);
    if (check != SC_OK) {
        return check;
    }
    const std::uint64_t firstPixel = std::uint64_t{y} * width() + x;
    const unsigned d = depth();
    ValueReader reader(count);
    for (unsigned c = 0; c < d; ++c) {
        if (!data().seekTo((c * pixelCount() + firstPixel) * kBytesPerValue)) {
            return SC_FILE_ERROR;
        }
        if (!reader.readLow16(data(), count, out + c, d)) {
            return SC_FORMAT_ERROR;
        }
    }
    return SC_OK;
}

SCErrorCode SCRawImageFile::readImages(unsigned first, unsigned count, unsigned short* out) {
    const SCErrorCode check = checkChannels(first, count);
    if (check != SC_OK) {
        return check;
    }
    if (!data().seekTo(first * pixelCount() * kBytesPerValue)) {
        return SC_FILE_ERROR;
    }
    return readLow16(data(), count * pixelCount(), out) ? SC_OK : SC_FORMAT_ERROR;
}

SCErrorCode SCRawImageFile::saveAs(const std::string& base, SCRawHeader::StorageFormat format) {
    if (format == SCRawHeader::RECORD_BY_IMAGE) {
        return saveImageByImage(base);
    }
    return saveLineByLine(base, format);
}

SCErrorCode SCRawImageFile::saveImageByImage(const std::string& base) {
    const std::string dataPath = base + ".raw";
    if (!data().isOpen() || isDataFile(dataPath)) {
        return SC_FILE_ERROR;
    }
    SystemOutputFileStream output(dataPath);
    if (!output.truncate()) {
        return SC_FILE_ERROR;
    }
    auto abandon = [&](SCErrorCode result) {
        output.close();
        std::remove(dataPath.c_str());
        return result;
    };
    const std::uint64_t pixels = pixelCount();
    auto image = allocateSamples<unsigned short>(depth() != 0 ? pixels : 0);
    if (!image) {
        return abandon(SC_ALLOCATION_ERROR);
    }
    for (unsigned c = 0; c < depth(); ++c) {
        const SCErrorCode result = readImages(c, 1, image.get());
        if (result != SC_OK) {
            return abandon(result);
        }
        if (!writeValues(output, pixels, [&](std::uint64_t p) { return image[p]; })) {
            return abandon(SC_WRITE_ERROR);
        }
    }
    const SCErrorCode result = writeSCRawHeader(
        base + ".rpl", SCRawHeader(width(), height(), depth(), SCRawHeader::RECORD_BY_IMAGE));
    if (result != SC_OK) {
        return abandon(result);
    }
    output.close();
    return SC_OK;
}

#include "raw/raw_data_file.h"

#include <sys/stat.h>

#include "api/sample_buffer.h"
#include "raw/raw_data_io.h"
#include "sc_api/sc_raw_io.h"

RawDataFile::RawDataFile(const SCRawHeader& header, const std::string& dataPath)
    : SCRawFile(header) {
    // Offsets are computed in 64 bits from the dimensions; a cube whose size does not even
    // fit there is never opened.
    if (rawDataLength(header.width(), header.height(), header.depth())) {
        data_.open(dataPath.c_str(), GENERIC_READ);
    }
}

RawDataFile::~RawDataFile() = default;

bool RawDataFile::isOpen() {
    return data_.isOpen();
}

SCErrorCode RawDataFile::close() {
    if (!data_.isOpen()) {
        return SC_FILE_ERROR;
    }
    data_.close();
    return SC_OK;
}

SCErrorCode RawDataFile::readSpectrumsAt(const std::vector<SCPixelPosition>& positions,
                                         const std::vector<unsigned short*>& outs) {
    if (outs.size() < positions.size()) {
        return SC_OUT_OF_RANGE;
    }
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const SCErrorCode result =
            readSpectrums(positions[i].first, positions[i].second, 1, outs[i]);
        if (result != SC_OK) {
            return result;
        }
    }
    return SC_OK;
}

SCErrorCode RawDataFile::readImagesAt(const std::vector<unsigned>& channels,
                                      const std::vector<unsigned short*>& outs) {
    if (outs.size() < channels.size()) {
        return SC_OUT_OF_RANGE;
    }
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const SCErrorCode result = readImages(channels[i], 1, outs[i]);
        if (result != SC_OK) {
            return result;
        }
    }
    return SC_OK;
}

bool RawDataFile::isDataFile(const std::string& path) const {
    struct stat target {};
    struct stat data {};
    return data_.isOpen() && ::stat(path.c_str(), &target) == 0 &&
           ::fstat(data_.descriptor(), &data) == 0 && target.st_dev == data.st_dev &&
           target.st_ino == data.st_ino;
}

std::uint64_t RawDataFile::pixelCount() const {
    return std::uint64_t{width()} * height();
}

SCErrorCode RawDataFile::checkPixelRun(unsigned x, unsigned y, unsigned count) const {
    if (x >= width() || y >= height() || std::uint64_t{y} * width() + x + count > pixelCount()) {
        return SC_OUT_OF_RANGE;
    }
    return data_.isOpen() ? SC_OK : SC_FILE_ERROR;
}

SCErrorCode RawDataFile::checkChannels(unsigned first, unsigned count) const {
    if (std::uint64_t{first} + count > depth()) {
        return SC_OUT_OF_RANGE;
    }
    return data_.isOpen() ? SC_OK : SC_FILE_ERROR;
}

SCErrorCode RawDataFile::saveLineByLine(const std::string& base,
                                        SCRawHeader::StorageFormat format) {
    if (!data_.isOpen() || isDataFile(base + ".raw")) {
        return SC_FILE_ERROR;
    }
    SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builder =
        SCRawIO::getBuilder(base, SCRawHeader(width(), height(), depth(), format));
    if (!builder) {
        return SC_FILE_ERROR;
    }
    const unsigned w = width();
    auto line = allocateSamples<unsigned short>(height() != 0 ? std::uint64_t{w} * depth() : 0);
    if (!line) {
        builder->cancel();
        return SC_ALLOCATION_ERROR;
    }
    for (unsigned y = 0; y < height() && w != 0; ++y) {
        SCErrorCode result = readSpectrums(0, y, w, line.get());
        if (result == SC_OK) {
            result = builder->addSpectrumLine(line.get());
        }
        if (result != SC_OK) {
            builder->cancel();
            return result;
        }
    }
    return builder->close();
}

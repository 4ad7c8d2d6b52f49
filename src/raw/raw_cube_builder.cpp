#include "raw/raw_cube_builder.h"

#include <cstdio>
#include <optional>

#include "raw/raw_data_io.h"
#include "raw/raw_header_io.h"

RawCubeBuilder::RawCubeBuilder(const std::string& base, const SCRawHeader& header)
    : base_(base), dataPath_(base + ".raw"), header_(header) {
    const std::optional<std::uint64_t> length =
        rawDataLength(header.width(), header.height(), header.depth());
    if (!length) {
        return;
    }
    dataLength_ = *length;
    std::remove((base + ".rpl").c_str());
    if (data_.open(dataPath_.c_str(), GENERIC_WRITE) && !data_.truncate()) {
        data_.close();
    }
}

RawCubeBuilder::~RawCubeBuilder() {
    if (data_.isOpen()) {
        RawCubeBuilder::close();
    }
}

SCErrorCode RawCubeBuilder::close() {
    if (!data_.isOpen()) {
        return SC_FILE_ERROR;
    }
    if (!extendTo(data_, dataLength_)) {
        return SC_WRITE_ERROR;
    }
    const SCErrorCode result = writeSCRawHeader(base_ + ".rpl", header_);
    if (result != SC_OK) {
        return result;
    }
    data_.close();
    return SC_OK;
}

SCErrorCode RawCubeBuilder::addSpectrumLine(const unsigned short* line) {
    if (!data_.isOpen()) {
        return SC_FILE_ERROR;
    }
    if (linesWritten_ >= header_.height()) {
        return SC_OUT_OF_RANGE;
    }
    const SCErrorCode result = writeLine(linesWritten_, line);
    if (result == SC_OK) {
        ++linesWritten_;
    }
    return result;
}

SCErrorCode RawCubeBuilder::cancel() {
    if (!data_.isOpen()) {
        return SC_FILE_ERROR;
    }
    discardData();
    return SC_OK;
}

void RawCubeBuilder::discardData() {
    data_.close();
    std::remove(dataPath_.c_str());
}

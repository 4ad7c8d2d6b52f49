#include "raw/raw_vector_builder.h"

#include "raw/raw_data_io.h"

namespace {

SCRawHeader vectorHeader(const SCRawHeader& header) {
    return SCRawHeader(header.width(), header.height(), header.depth(),
                       SCRawHeader::RECORD_BY_VECTOR);
}

}  // namespace

SCRawVectorBuilder::SCRawVectorBuilder(const std::string& base, const SCRawHeader& header)
    : RawCubeBuilder(base, vectorHeader(header)) {}

SCErrorCode SCRawVectorBuilder::computeRoiImage(unsigned, unsigned, unsigned short*) {
    return SC_OUT_OF_RANGE;
}

SCErrorCode SCRawVectorBuilder::writeLine(unsigned y, const unsigned short* line) {
    const std::uint64_t values = std::uint64_t{width()} * depth();
    // Placed by its index, so that a line whose write failed may be sent again.
    return data().seekTo(y * values * kBytesPerValue) &&
                   writeValues(data(), values, [line](std::uint64_t i) { return line[i]; })
               ? SC_OK
               : SC_WRITE_ERROR;
}

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sc_api/sc_raw_header.h"
#include "support/temp_dir.h"

namespace test_support {

// Value of a synthetic cube at pixel (x, y), channel c; 32 bits, as files may hold.
using CubeValues = std::function<std::uint32_t(unsigned x, unsigned y, unsigned c)>;

// A value that differs for every (x, y, c) of a small cube.
inline std::uint32_t distinctValue(unsigned x, unsigned y, unsigned c) {
    return 1 + x + 100 * y + 10000 * c;
}

// The bytes of a raw data file, laid out independently of the library: 32-bit little-endian
// values, by vector ((y * w + x) * d + c) or by image ((c * h + y) * w + x).
inline std::vector<unsigned char> rawDataBytes(unsigned width, unsigned height, unsigned depth,
                                               SCRawHeader::StorageFormat format,
                                               const CubeValues& values) {
    std::vector<unsigned char> bytes(std::size_t{width} * height * depth * 4);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            for (unsigned c = 0; c < depth; ++c) {
                const std::size_t index = format == SCRawHeader::RECORD_BY_VECTOR
                                              ? (std::size_t{y} * width + x) * depth + c
                                              : (std::size_t{c} * height + y) * width + x;
                for (int b = 0; b < 4; ++b) {
                    bytes[index * 4 + b] = static_cast<unsigned char>(values(x, y, c) >> (8 * b));
                }
            }
        }
    }
    return bytes;
}

// The nine ".rpl" lines describing such a cube, with "\n" line ends.
inline std::string rplText(unsigned width, unsigned height, unsigned depth,
                           SCRawHeader::StorageFormat format) {
    return "key\tvalue\nwidth\t" + std::to_string(width) + "\nheight\t" + std::to_string(height) +
           "\ndepth\t" + std::to_string(depth) +
           "\noffset\t0\ndata-length\t4\ndata-type\tunsigned\nbyte-order\tlittle-endian\n"
           "record-by\t" +
           (format == SCRawHeader::RECORD_BY_VECTOR ? "vector" : "image") + "\n";
}

// Writes base + ".rpl" and base + ".raw" as another program of the field would.
inline void writeRawCube(const std::string& base, unsigned width, unsigned height, unsigned depth,
                         SCRawHeader::StorageFormat format, const CubeValues& values) {
    writeFileText(base + ".rpl", rplText(width, height, depth, format));
    writeFileBytes(base + ".raw", rawDataBytes(width, height, depth, format, values));
}

// The 16-bit line y of a cube: width spectra of depth values, as builders take it.
inline std::vector<unsigned short> spectrumLine(unsigned width, unsigned depth, unsigned y,
                                                const CubeValues& values) {
    std::vector<unsigned short> line;
    for (unsigned i = 0; i < width * depth; ++i) {
        line.push_back(static_cast<unsigned short>(values(i / depth, y, i % depth)));
    }
    return line;
}

}  // namespace test_support

#include "support/raw_cube_files.h"

#include "support/temp_dir.h"

namespace test_support {

std::uint32_t distinctValue(unsigned x, unsigned y, unsigned c) {
    return 1 + x + 100 * y + 10000 * c;
}

std::vector<unsigned char> rawDataBytes(unsigned width, unsigned height, unsigned depth,
                                        SCRawHeader::StorageFormat format,
                                        const CubeValues& values) {
    std::vector<unsigned char> bytes(std::size_t{width} * height * depth * 4);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            for (unsigned c = 0; c < depth; ++c) {
                const std::size_t index = format == SCRawHeader::RECORD_BY_VECTOR
                                              ? (std::size_t{y} * width + x) * depth + c
                                              : (std::size_t{c} * height + y) * width + x;
                const std::uint32_t value = values(x, y, c);
                for (int b = 0; b < 4; ++b) {
                    bytes[index * 4 + b] = static_cast<unsigned char>(value >> (8 * b));
                }
            }
        }
    }
    return bytes;
}

std::string rplText(unsigned width, unsigned height, unsigned depth,
                    SCRawHeader::StorageFormat format) {
    return "key\tvalue\nwidth\t" + std::to_string(width) + "\nheight\t" + std::to_string(height) +
           "\ndepth\t" + std::to_string(depth) +
           "\noffset\t0\ndata-length\t4\ndata-type\tunsigned\nbyte-order\tlittle-endian\n"
           "record-by\t" +
           (format == SCRawHeader::RECORD_BY_VECTOR ? "vector" : "image") + "\n";
}

void writeRawCube(const std::string& base, unsigned width, unsigned height, unsigned depth,
                  SCRawHeader::StorageFormat format, const CubeValues& values) {
    writeFileText(base + ".rpl", rplText(width, height, depth, format));
    writeFileBytes(base + ".raw", rawDataBytes(width, height, depth, format, values));
}

std::vector<unsigned short> spectrumLine(unsigned width, unsigned depth, unsigned y,
                                         const CubeValues& values) {
    std::vector<unsigned short> line;
    for (unsigned x = 0; x < width; ++x) {
        for (unsigned c = 0; c < depth; ++c) {
            line.push_back(static_cast<unsigned short>(values(x, y, c)));
        }
    }
    return line;
}

}  // namespace test_support

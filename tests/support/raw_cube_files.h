#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sc_api/sc_raw_header.h"

namespace test_support {

// Value of a synthetic cube at pixel (x, y), channel c; 32 bits, so that files may hold values
// above 65535.
using CubeValues = std::function<std::uint32_t(unsigned x, unsigned y, unsigned c)>;

// A value that differs for every (x, y, c) of a small cube.
std::uint32_t distinctValue(unsigned x, unsigned y, unsigned c);

// The bytes of a raw data file, laid out independently of the library: 32-bit little-endian
// values, by vector ((y * w + x) * d + c) or by image ((c * h + y) * w + x).
std::vector<unsigned char> rawDataBytes(unsigned width, unsigned height, unsigned depth,
                                        SCRawHeader::StorageFormat format,
                                        const CubeValues& values);

// The nine ".rpl" lines describing such a cube, with "\n" line ends.
std::string rplText(unsigned width, unsigned height, unsigned depth,
                    SCRawHeader::StorageFormat format);

// Writes base + ".rpl" and base + ".raw" as another program of the field would.
void writeRawCube(const std::string& base, unsigned width, unsigned height, unsigned depth,
                  SCRawHeader::StorageFormat format, const CubeValues& values);

// The 16-bit line y of a cube: width spectra of depth values, as builders take it.
std::vector<unsigned short> spectrumLine(unsigned width, unsigned depth, unsigned y,
                                         const CubeValues& values);

}  // namespace test_support

#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "sc_api/sc_raw_import.h"
#include "sc_api/sc_status.h"

// Reads the data file of a foreign raw cube line by line, whatever its value type, byte order
// and storage order, as exact double values (every integer of up to 53 bits, and every float,
// is represented exactly; larger 64-bit integers are rounded, which keeps them above 65535).
class ForeignRawReader {
  public:
    ForeignRawReader(const std::string& dataPath, const SCForeignRawLayout& layout);

    // OK when the data file can be read and holds at least offset + width x height x depth x
    // data-length bytes; MISSING_FILE, PERMISSION_DENIED or DAMAGED_DATA otherwise.
    SCStatus open();

    // Line y (y < height): width spectra of depth values, pixel after pixel (value of pixel x,
    // channel c at x * depth + c). False when the file cannot be read there.
    bool readLine(unsigned y, std::vector<double>& line);

  private:
    double decode(const unsigned char* bytes) const;
    bool readAt(std::uint64_t position, std::size_t byteCount);

    std::string dataPath_;
    SCForeignRawLayout layout_;
    std::ifstream data_;
    std::vector<unsigned char> bytes_;  // the bytes of the last read
};

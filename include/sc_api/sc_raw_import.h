#pragma once

#include <cstdint>
#include <string>

#include "sc_api/export.h"
#include "sc_api/sc_cube_probe.h"
#include "sc_api/sc_energy_calibration.h"
#include "sc_api/sc_progress.h"
#include "sc_api/sc_raw_header.h"
#include "sc_api/sc_status.h"

// The layout of a ".rpl"/".raw" pair as other programs write it.
struct SC_API_EXPORT SCForeignRawLayout {
    enum DataType { SIGNED, UNSIGNED, FLOAT };

    unsigned width = 0;
    unsigned height = 0;
    unsigned depth = 0;
    DataType dataType = UNSIGNED;
    unsigned dataLength = 4;  // bytes per value: 1, 2, 4 or 8 (4 or 8 for FLOAT)
    bool bigEndian = false;
    SCRawHeader::StorageFormat format = SCRawHeader::RECORD_BY_VECTOR;
    std::uint64_t offset = 0;  // bytes before the first value in the data file
    bool calibrated = false;   // whether the header holds an energy scale
    SCEnergyCalibration calibration;

    // A short description: "unsigned 2-byte big-endian values by image, offset 512".
    std::string describe() const;
};

// What an import found and did.
struct SC_API_EXPORT SCRawImportReport {
    SCForeignRawLayout layout;
    std::uint64_t values = 0;      // values read
    std::uint64_t negative = 0;    // values below 0
    std::uint64_t fractional = 0;  // values between integers (or not a number)
    std::uint64_t tooLarge = 0;    // values above 65535
    bool clipped = false;          // whether out-of-range values were clipped into the output

    std::uint64_t outOfRange() const { return negative + fractional + tooLarge; }
};

// Reads raw cubes written by other programs: the ".rpl" text header with keys in any case,
// comment lines (starting with ';' or '#'), keys without value, extra keys, data-type signed,
// unsigned or float, data-length 1, 2, 4 or 8, byte-order little-endian or big-endian
// ("dont-care" for 1-byte values), record-by vector or image ("dont-care" for 1 channel), a
// non-zero offset; energy calibration from "ev-per-chan", or "depth-scale" with "depth-origin"
// and "depth-units" (eV or keV). SCRawIO's own reader stays strict; this is the way in for the
// rest.
class SC_API_EXPORT SCRawImport {
  public:
    SCRawImport() = delete;

    // Reads the header `rplPath`. MISSING_FILE, PERMISSION_DENIED; DAMAGED_HEADER when a key is
    // missing or a number does not parse; UNSUPPORTED_LAYOUT for a data type, length, byte
    // order or order not listed above.
    static SCStatus readLayout(const std::string& rplPath, SCForeignRawLayout& layout);

    // Imports the pair rplPath / (rplPath without ".rpl") + ".raw" as the cube `outputBase` in
    // form `to` (not FRAGMENTED_SCD), published as SCCubeConversion publishes its outputs, with
    // the header's calibration as the cube's calibration file. Every value that is negative,
    // fractional, not a number or above 65535 is counted in `report`; without `clip` any such
    // value refuses the import (VALUES_OUT_OF_RANGE, nothing written), with `clip` it becomes a
    // count (negative and not-a-number 0, too large 65535, fractional rounded to the nearest).
    // DAMAGED_DATA when the data file is shorter than offset + width x height x depth x
    // data-length. Existing output files are replaced only when `replace` is true.
    // `progress` counts lines.
    static SCStatus importCube(const std::string& rplPath, const std::string& outputBase,
                               SCCubeForm to, bool clip, bool replace, SCRawImportReport& report,
                               SCProgress* progress);
};

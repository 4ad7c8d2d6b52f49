#pragma once

#include <string>

#include "sc_api/export.h"
#include "sc_api/sc_cube_probe.h"
#include "sc_api/sc_progress.h"
#include "sc_api/sc_status.h"

// Conversion of any cube into any simple form, published atomically: the output is written
// under a temporary name beside its final one (base + ".partial-" + process id) and its files
// are renamed into place only when it is complete, header last. A failed or interrupted
// conversion removes what it wrote and leaves no file that looks like a cube.
class SC_API_EXPORT SCCubeConversion {
  public:
    SCCubeConversion() = delete;

    // Writes the cube `input` (named as for SCCubeProbe::open) as the cube `outputBase` in the
    // form `to` (FRAGMENTED_SCD is refused as INVALID_ARGUMENT):
    //  - a raw cube to SCD: the same cube that RawToSCD::encode writes, byte for byte;
    //  - any cube to SCD: SCD::encode over its stored counts with its factor (a fragmented cube
    //    becomes a simple one; pixels of no area hold zeros);
    //  - any cube to raw: SCRawIO::saveSCCube (values scaled by the factor).
    // The calibration file, when the input has one, is copied. Existing output files are
    // replaced only when `replace` is true (OUTPUT_EXISTS otherwise, writing nothing); the
    // input's own files are never replaced (SAME_INPUT_OUTPUT). `progress`, when not null,
    // counts spectra (twice for SCD output: the encoder reads the cube twice) or values.
    // Writes that fail, and an output whose files come out shorter than their index says,
    // give WRITE_FAILED.
    static SCStatus convert(const std::string& input, const std::string& outputBase, SCCubeForm to,
                            bool replace, SCProgress* progress);
};

#pragma once

#include <string>

#include "sc_api/sc_cube.h"
#include "sc_api/sc_raw_header.h"

// Writes any cube as the raw cube `base` stored in `format` (anything but RECORD_BY_IMAGE is
// stored by vector), values as the cube's reads deliver them, scaled by its factor: images
// keep the low 16 bits of each scaled value, spectra the low 32 bits of each truncated float.
// Reads that fail leave zeros in the file. The data file starts empty.
//
// SC_FILE_ERROR when the data file cannot be created or is the one `cube` reads from; the
// header's result when it cannot be written (the data file then stays); SC_WRITE_ERROR when
// writing the data fails; SC_ALLOCATION_ERROR when the cube is too large to buffer one line.
SCErrorCode exportRawCube(const std::string& base, const SCCube& cube,
                          SCRawHeader::StorageFormat format);

#pragma once

#include <string>

#include "sc_api/sc_file.h"

// Opens the SCD cube named `name` (base path without extension), simple or fragmented as the
// header type in name + ".scdh" says: the one way every part of the library opens a compressed
// cube. A fragmented cube opens its areas through it again, so an area may be of either kind.
// Null when the header file is missing, does not start with the magic, is cut short or damaged,
// is of another type, or the cube does not open; no message is produced. The caller owns the
// cube. Never throws.
SCFile* openSCDCube(const std::string& name);

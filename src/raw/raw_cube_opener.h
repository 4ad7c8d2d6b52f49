#pragma once

#include <string>

#include "sc_api/sc_raw_file.h"
#include "sc_api/sc_raw_header.h"

// Opens the raw cube `base` (base + ".rpl", base + ".raw") as the reader of its storage order,
// owned by the caller. Null when the header is missing or refused, when a dimension is 0 (a raw
// cube without values: refused so that its other claims cost nothing), or the data file is
// missing, not a regular file, or shorter than width x height x depth 4-byte values. Opening
// never creates a file.
SCRawFile* openRawCube(const std::string& base);

// Whether `header` has no zero dimension and `dataPath` is an existing regular file holding at
// least the width x height x depth 4-byte values that `header` promises. Checked before any
// stream is opened on it.
bool hasRawDataFile(const std::string& dataPath, const SCRawHeader& header);

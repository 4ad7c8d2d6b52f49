#pragma once

#include <string>

#include "sc_api/sc_raw_import.h"
#include "sc_api/sc_status.h"

// The ".rpl" header as other programs write it, read leniently: keys and values as word pairs
// within each line (a key may end a line without value; a line may hold several pairs), keys in any
// case, lines starting with ';' or '#' ignored, unknown keys ignored, the last occurrence of a key
// counting. See SCRawImport for the layouts accepted.
//
// MISSING_FILE or PERMISSION_DENIED when the file cannot be opened; DAMAGED_HEADER when a
// needed key is missing, a number does not parse, the file holds more than 1 MiB or the values
// would not fit in 64-bit offsets; UNSUPPORTED_LAYOUT for a data type, length, byte order or
// storage order that cannot be read. `layout` is complete only on success.
SCStatus readForeignRplHeader(const std::string& rplPath, SCForeignRawLayout& layout);

#pragma once

#include <string>

#include "sc_api/sc_error_code.h"
#include "sc_api/sc_raw_header.h"

// The ".rpl" text header of a raw cube: whitespace-separated key and value words, read as
// pairs. Only 4-byte unsigned values stored by "vector" or "image" are accepted.

// Reads the header file `rplPath` into `header`. SC_FILE_ERROR when the file cannot be opened;
// SC_FORMAT_ERROR when a required key (width, height, depth, record-by, data-type,
// data-length, byte-order) is missing, a number is not a plain unsigned decimal that fits in
// 32 bits, data-length is not 4, data-type is not "unsigned", byte-order is not
// "little-endian", an "offset" key is present with a value other than 0, record-by is neither
// "vector" nor "image", or the file holds more than 1 MiB. When every number parses, the dimensions
// are stored into `header` even if data-type, data-length or record-by is then refused; the format
// is stored only on success. When a key occurs more than once the last value counts. Data
// always start at byte 0 of the data file; files laid out otherwise are for the importer.
SCErrorCode readRplHeader(const std::string& rplPath, SCRawHeader& header);

// Publishes `rplPath` whole (see publishFile) holding the nine header lines describing `header`:
// the title "key\tvalue", then width, height, depth, offset 0, data-length 4, data-type unsigned,
// byte-order little-endian and record-by, each as key, tab, value, line end. SC_FILE_ERROR when the
// file cannot be created, SC_WRITE_ERROR when writing it fails.
SCErrorCode writeSCRawHeader(const std::string& rplPath, const SCRawHeader& header);

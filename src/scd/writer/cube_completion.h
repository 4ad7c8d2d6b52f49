#pragma once

#include <string>

#include "codec/symbol_count_table.h"
#include "scd/format/scd_header.h"

// The steps that finish every SCD cube the writers make, the line builder's and the batch
// encoders': the code table from the counted symbols, the clean-up of the temporary image file
// and the publication of the header file, whose failures are returned.

// Fills the header's code table with the Huffman codes of `counts`; leaves it as it is when
// nothing was counted.
void buildCodeTable(const SymbolCountTable& counts, SCDHeader& header);

// Removes the temporary image file `imagePath` (a name ending in ".raw") and the ".rpl" header
// that a file of that name may have been given.
void removeTemporaryImageFile(const std::string& imagePath);

// Publishes `header` as N + ".scdh", N being `name`: written whole under a temporary name,
// flushed to the device, then renamed over any file of that name, so that a reader sees the old
// header or the new one, never a part. False when that fails; the old file then stays.
bool writeHeaderFile(const std::string& name, const SCDHeader& header);

// Removes N + ".scdh" before a cube's data files are written again, so that no header ever
// points into data files being replaced: a cube is published by its header, last.
void withdrawHeaderFile(const std::string& name);

#pragma once

#include <string>

#include "codec/symbol_count_table.h"
#include "scd/format/scd_header.h"

// The steps that finish every SCD cube the writers make, the line builder's and the batch
// encoders': the code table from the counted symbols, the clean-up of the temporary image file
// and the header file. Failures of the file operations are not reported.

// Fills the header's code table with the Huffman codes of `counts`; leaves it as it is when
// nothing was counted.
void buildCodeTable(const SymbolCountTable& counts, SCDHeader& header);

// Removes the temporary image file `imagePath` (a name ending in ".raw") and the ".rpl" header
// that a file of that name may have been given.
void removeTemporaryImageFile(const std::string& imagePath);

// Writes `header` to N + ".scdh", N being `name`, replacing any file of that name.
void writeHeaderFile(const std::string& name, const SCDHeader& header);

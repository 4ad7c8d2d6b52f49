#pragma once

#include <ostream>
#include <string>

#include "tuplink/tuple.h"

// Writes a result tuple as a JSON object: one member per key in key order, plus "_class" when
// the tuple has a class name. Ints, floats and bools as JSON numbers and literals (NaN and the
// infinities as null), strings escaped, lists and float arrays as arrays, nested tuples as
// objects. A blob becomes {"bytes": N, "file": PATH} when `blobFile` is not empty (the blob's
// bytes are written to PATH: `blobFile` itself for the first blob, `blobFile`.KEY for
// others), else {"bytes": N, "head": first 16 bytes in hex}.
void writeResultJson(std::ostream& out, const tuplink::Tuple& tuple, const std::string& blobFile);

#pragma once

#include <string>
#include <vector>

#include "tuplink/tuple.h"

// Arguments of `sccube call` given as KEY=VALUE or KEY:TYPE=VALUE.
//
// TYPE is int, float, bool, str, blob (VALUE "@FILE" reads the file, anything else is taken as
// its bytes) or ints (comma-separated, possibly empty). Without a type, VALUE is a bool when it
// is "true" or "false", an int when it is a decimal integer, a float when it parses as one, a
// list of ints when it holds commas between integers, and a string otherwise. A KEY with dots
// (area.x=3) stores the value in nested tuples, made as needed.
//
// Returns false and an explanation in `error` for a malformed argument, an unknown type, a
// value that does not fit its type or a blob file that cannot be read.
bool parseCallArguments(const std::vector<std::string>& arguments, tuplink::Tuple& tuple,
                        std::string& error);

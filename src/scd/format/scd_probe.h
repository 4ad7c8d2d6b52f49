#pragma once

#include <string>

// The header type of the cube named `name`: the third field of name + ".scdh" as it stands
// (SCD::SIMPLE_HEADER, SCD::FRAGMENTED_HEADER or any other value), once the magic has been
// found before it. SCD::NOT_A_HEADER when the file cannot be opened, is shorter than the three
// fields, or does not start with SCD::MAGIC_NUMBER. Reads 12 bytes at most; creates nothing.
unsigned int probeHeaderType(const std::string& name);

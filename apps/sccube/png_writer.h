#pragma once

#include <cstdint>
#include <string>

// Writes a 16-bit greyscale PNG of width x height row-major samples. Returns an empty string on
// success, otherwise what went wrong.
std::string writeGray16Png(const std::string& path, unsigned width, unsigned height,
                           const std::uint16_t* samples);

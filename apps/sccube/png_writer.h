#pragma once

#include <cstdint>
#include <string>
#include <vector>

// PNG files of images, row-major. Each writer returns an empty string on success, otherwise what
// went wrong; the file is written under a temporary name and renamed into place only when
// complete.

// 16-bit greyscale, samples as they stand.
std::string writeGray16Png(const std::string& path, unsigned width, unsigned height,
                           const std::uint16_t* samples);

// 8-bit greyscale (one byte per pixel) or RGB (three bytes per pixel, red first).
std::string writeGray8Png(const std::string& path, unsigned width, unsigned height,
                          const std::uint8_t* samples);
std::string writeRgb8Png(const std::string& path, unsigned width, unsigned height,
                         const std::uint8_t* samples);

// A PNG read back as one channel per pixel: the grey value, or for colour images the sum of the
// colour channels; 8- and 16-bit depths; alpha is dropped. Empty string on success.
std::string readPngLuminance(const std::string& path, unsigned& width, unsigned& height,
                             std::vector<std::uint32_t>& samples);

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Turning 16-bit ROI images into 8-bit pictures for people to look at.

// The sample values at the given percentiles (0 ... 100) of `samples`: the limits of a
// contrast stretch. (0, 0) for no samples.
std::pair<std::uint16_t, std::uint16_t> percentileLimits(const std::vector<std::uint16_t>& samples,
                                                         double lowPercentile,
                                                         double highPercentile);

// Each sample mapped linearly from [low, high] onto 0 ... 255, clamped; all 0 when high <= low
// and every sample is at most low.
std::vector<std::uint8_t> stretchTo8Bit(const std::vector<std::uint16_t>& samples,
                                        std::uint16_t low, std::uint16_t high);

// Colour maps for 8-bit images: "grey", "hot" (black, red, yellow, white) and "viridis"
// (dark blue, green, yellow). Nothing for another name.
std::optional<std::vector<std::uint8_t>> applyColormap(const std::vector<std::uint8_t>& grey,
                                                       const std::string& name);

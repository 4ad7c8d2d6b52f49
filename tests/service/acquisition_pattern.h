#pragma once

#include <cstdint>
#include <vector>

namespace service_test {

// The cube that service_acquisition_client acquires, one area covering it all.
inline constexpr unsigned kPatternWidth = 6;
inline constexpr unsigned kPatternHeight = 4;
inline constexpr unsigned kPatternDepth = 5;
inline constexpr float kPatternFactor = 0.5f;

inline std::uint16_t patternCount(unsigned x, unsigned y, unsigned c) {
    return static_cast<std::uint16_t>(100 * y + 10 * x + c + 1);
}

// Line y of the pattern: kPatternWidth spectra of kPatternDepth values.
inline std::vector<std::uint16_t> patternLine(unsigned y) {
    std::vector<std::uint16_t> line;
    for (unsigned x = 0; x < kPatternWidth; ++x) {
        for (unsigned c = 0; c < kPatternDepth; ++c) {
            line.push_back(patternCount(x, y, c));
        }
    }
    return line;
}

}  // namespace service_test

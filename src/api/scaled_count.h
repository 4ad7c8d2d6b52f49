#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// The scaling rule shared by every read and builder: a stored count (or a sum of counts) is
// multiplied by the cube's scale factor in double precision and truncated toward zero; 16-bit
// results keep the low 16 bits of that integer, without clamping (65536 becomes 0, 70000
// becomes 4464).

// trunc(product) as a 64-bit signed integer. Exact inside the range of int64; products beyond
// it saturate to the nearest limit and NaN gives 0, so that every factor, even an infinite or
// NaN one, has a defined result.
inline std::int64_t truncateToInt64(double product) {
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (std::isnan(product)) {
        return 0;
    }
    if (product >= kTwoTo63) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (product < -kTwoTo63) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(product);
}

// The low 16 bits of trunc(value * factor).
inline unsigned short scaleToLow16(std::uint64_t value, float factor) {
    const std::int64_t scaled = truncateToInt64(static_cast<double>(value) * factor);
    return static_cast<unsigned short>(static_cast<std::uint64_t>(scaled) & 0xFFFFu);
}

// value * factor as a spectrum channel value.
inline float scaleToFloat(std::uint64_t value, float factor) {
    return static_cast<float>(static_cast<double>(value) * factor);
}

#include "image_rendering.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using Rgb = std::array<double, 3>;

// Evenly spaced anchor colours, interpolated linearly.
Rgb interpolate(const std::vector<Rgb>& anchors, double t) {
    const double position = t * static_cast<double>(anchors.size() - 1);
    const std::size_t below = std::min(static_cast<std::size_t>(position), anchors.size() - 2);
    const double fraction = position - static_cast<double>(below);
    Rgb colour{};
    for (int i = 0; i < 3; ++i) {
        colour[i] = anchors[below][i] + (anchors[below + 1][i] - anchors[below][i]) * fraction;
    }
    return colour;
}

const std::vector<Rgb>* anchorsOf(const std::string& name) {
    static const std::vector<Rgb> grey = {{0, 0, 0}, {255, 255, 255}};
    static const std::vector<Rgb> hot = {{0, 0, 0}, {230, 0, 0}, {255, 210, 0}, {255, 255, 255}};
    static const std::vector<Rgb> viridis = {
        {68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}};
    if (name == "grey" || name == "gray") {
        return &grey;
    }
    if (name == "hot") {
        return &hot;
    }
    return name == "viridis" ? &viridis : nullptr;
}

}  // namespace

std::pair<std::uint16_t, std::uint16_t> percentileLimits(const std::vector<std::uint16_t>& samples,
                                                         double lowPercentile,
                                                         double highPercentile) {
    if (samples.empty()) {
        return {0, 0};
    }
    std::vector<std::uint16_t> sorted(samples);
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&](double percentile) {
        const double clamped = std::clamp(percentile, 0.0, 100.0);
        const auto index = static_cast<std::size_t>(
            std::lround(clamped / 100.0 * static_cast<double>(sorted.size() - 1)));
        return sorted[index];
    };
    return {at(lowPercentile), at(highPercentile)};
}

std::vector<std::uint8_t> stretchTo8Bit(const std::vector<std::uint16_t>& samples,
                                        std::uint16_t low, std::uint16_t high) {
    std::vector<std::uint8_t> stretched(samples.size());
    const double range = high > low ? static_cast<double>(high - low) : 1.0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = (static_cast<double>(samples[i]) - low) / range;
        stretched[i] = static_cast<std::uint8_t>(std::lround(std::clamp(t, 0.0, 1.0) * 255.0));
    }
    return stretched;
}

std::optional<std::vector<std::uint8_t>> applyColormap(const std::vector<std::uint8_t>& grey,
                                                       const std::string& name) {
    const std::vector<Rgb>* anchors = anchorsOf(name);
    if (anchors == nullptr) {
        return std::nullopt;
    }
    std::array<Rgb, 256> table{};
    for (int level = 0; level < 256; ++level) {
        table[level] = interpolate(*anchors, level / 255.0);
    }
    std::vector<std::uint8_t> rgb(grey.size() * 3);
    for (std::size_t i = 0; i < grey.size(); ++i) {
        for (int c = 0; c < 3; ++c) {
            rgb[3 * i + c] = static_cast<std::uint8_t>(std::lround(table[grey[i]][c]));
        }
    }
    return rgb;
}

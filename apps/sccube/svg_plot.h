#pragma once

#include <string>
#include <vector>

// A line plot of a spectrum as a standalone SVG document: labelled axes with round-numbered
// ticks, an optional logarithmic value axis (values below 1 drawn at 1), a title.
struct SpectrumPlot {
    std::vector<double> positions;  // x of each point (channel or energy), increasing
    std::vector<double> values;     // y of each point
    std::string positionLabel;      // e.g. "Energy (keV)"
    std::string valueLabel;         // e.g. "Counts"
    std::string title;
    bool logarithmic = false;
};

std::string renderSpectrumSvg(const SpectrumPlot& plot);

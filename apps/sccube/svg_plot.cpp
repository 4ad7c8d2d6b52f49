#include "svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

constexpr double kWidth = 900;
constexpr double kHeight = 500;
constexpr double kLeft = 80;
constexpr double kRight = 20;
constexpr double kTop = 40;
constexpr double kBottom = 60;

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A tick spacing of 1, 2 or 5 times a power of ten giving about `count` ticks over `span`.
double tickStep(double span, int count) {
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double multiple : {1.0, 2.0, 5.0}) {
        if (multiple * power >= raw) {
            return multiple * power;
        }
    }
    return 10.0 * power;
}

// Maps data coordinates onto the plotting area.
class Axes {
  public:
    Axes(double xMin, double xMax, double yMin, double yMax, bool logarithmic)
        : xMin_(xMin), xMax_(xMax > xMin ? xMax : xMin + 1), logarithmic_(logarithmic) {
        yMin_ = logarithmic ? 0.0 : yMin;
        yMax_ = logarithmic ? std::log10(std::max(yMax, 10.0)) : (yMax > yMin ? yMax : yMin + 1);
    }

    double x(double value) const {
        return kLeft + (value - xMin_) / (xMax_ - xMin_) * (kWidth - kLeft - kRight);
    }
    double y(double value) const {
        const double v = logarithmic_ ? std::log10(std::max(value, 1.0)) : value;
        return kHeight - kBottom - (v - yMin_) / (yMax_ - yMin_) * (kHeight - kTop - kBottom);
    }

    void drawTicks(std::ostringstream& svg) const {
        const double xStep = tickStep(xMax_ - xMin_, 8);
        for (double t = std::ceil(xMin_ / xStep) * xStep; t <= xMax_ + xStep * 1e-9; t += xStep) {
            svg << "<line x1='" << x(t) << "' y1='" << kHeight - kBottom << "' x2='" << x(t)
                << "' y2='" << kHeight - kBottom + 5 << "' stroke='black'/>\n"
                << "<text x='" << x(t) << "' y='" << kHeight - kBottom + 20
                << "' text-anchor='middle'>" << number(std::abs(t) < xStep * 1e-9 ? 0 : t)
                << "</text>\n";
        }
        if (logarithmic_) {
            for (double decade = 0; decade <= yMax_ + 1e-9; decade += 1) {
                drawValueTick(svg, std::pow(10.0, decade));
            }
            return;
        }
        const double yStep = tickStep(yMax_ - yMin_, 6);
        for (double t = std::ceil(yMin_ / yStep) * yStep; t <= yMax_ + yStep * 1e-9; t += yStep) {
            drawValueTick(svg, std::abs(t) < yStep * 1e-9 ? 0 : t);
        }
    }

  private:
    void drawValueTick(std::ostringstream& svg, double value) const {
        svg << "<line x1='" << kLeft - 5 << "' y1='" << y(value) << "' x2='" << kLeft << "' y2='"
            << y(value) << "' stroke='black'/>\n"
            << "<text x='" << kLeft - 8 << "' y='" << y(value) + 4 << "' text-anchor='end'>"
            << number(value) << "</text>\n";
    }

    double xMin_;
    double xMax_;
    double yMin_ = 0;
    double yMax_ = 1;
    bool logarithmic_;
};

}  // namespace

std::string renderSpectrumSvg(const SpectrumPlot& plot) {
    const auto [yLow, yHigh] =
        plot.values.empty()
            ? std::pair<double, double>{0.0, 1.0}
            : std::pair<double, double>{
                  std::min(0.0, *std::min_element(plot.values.begin(), plot.values.end())),
                  *std::max_element(plot.values.begin(), plot.values.end())};
    const double xLow = plot.positions.empty() ? 0.0 : plot.positions.front();
    const double xHigh = plot.positions.empty() ? 1.0 : plot.positions.back();
    const Axes axes(xLow, xHigh, yLow, yHigh, plot.logarithmic);

    std::ostringstream svg;
    svg << "<?xml version='1.0' encoding='UTF-8'?>\n"
        << "<svg xmlns='http://www.w3.org/2000/svg' width='" << kWidth << "' height='" << kHeight
        << "' viewBox='0 0 " << kWidth << ' ' << kHeight
        << "' font-family='sans-serif' font-size='12'>\n"
        << "<rect width='100%' height='100%' fill='white'/>\n"
        << "<text x='" << kWidth / 2 << "' y='24' text-anchor='middle' font-size='15'>"
        << escaped(plot.title) << "</text>\n";
    svg << "<polyline fill='none' stroke='#1f5fa8' stroke-width='1' points='";
    for (std::size_t i = 0; i < plot.values.size() && i < plot.positions.size(); ++i) {
        svg << axes.x(plot.positions[i]) << ',' << axes.y(plot.values[i]) << ' ';
    }
    svg << "'/>\n";
    svg << "<polyline fill='none' stroke='black' points='" << kLeft << ',' << kTop << ' ' << kLeft
        << ',' << kHeight - kBottom << ' ' << kWidth - kRight << ',' << kHeight - kBottom
        << "'/>\n";
    axes.drawTicks(svg);
    svg << "<text x='" << (kLeft + kWidth - kRight) / 2 << "' y='" << kHeight - 15
        << "' text-anchor='middle'>" << escaped(plot.positionLabel) << "</text>\n"
        << "<text transform='translate(20," << (kTop + kHeight - kBottom) / 2
        << ") rotate(-90)' text-anchor='middle'>" << escaped(plot.valueLabel)
        << (plot.logarithmic ? " (log scale)" : "") << "</text>\n"
        << "</svg>\n";
    return svg.str();
}

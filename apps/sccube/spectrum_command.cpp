#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>

#include "calibration_options.h"
#include "cli_arguments.h"
#include "commands.h"
#include "exit_status.h"
#include "png_writer.h"
#include "sc_api/pixmap_mask.h"
#include "sc_api/sc_cube_probe.h"
#include "sc_api/sc_error_text.h"
#include "sc_api/sc_spectrum.h"
#include "svg_plot.h"
#include "text_output.h"

namespace {

struct SpectrumOptions {
    std::string cube;
    std::string at;
    std::string region;
    std::string mask;
    std::string csv;
    std::string svg;
    bool logarithmic = false;
    CalibrationOptions calibration;
};

// A rectangle of selected pixels.
class RectangleMask : public PixmapMask {
  public:
    RectangleMask(unsigned width, unsigned height) : width_(width), height_(height) {}
    unsigned width() const override { return width_; }
    unsigned height() const override { return height_; }
    bool isSelected(unsigned, unsigned) const override { return true; }

  private:
    unsigned width_;
    unsigned height_;
};

// The pixels of a PNG that are not black.
class PngMask : public PixmapMask {
  public:
    std::string load(const std::string& path) {
        return readPngLuminance(path, width_, height_, samples_);
    }
    unsigned width() const override { return width_; }
    unsigned height() const override { return height_; }
    bool isSelected(unsigned x, unsigned y) const override {
        return samples_[static_cast<std::size_t>(y) * width_ + x] != 0;
    }

  private:
    unsigned width_ = 0;
    unsigned height_ = 0;
    std::vector<std::uint32_t> samples_;
};

bool inside(const Rect& r, const SCCube& cube) {
    return r.width != 0 && r.height != 0 && r.x < cube.width() && r.y < cube.height() &&
           cube.width() - r.x >= r.width && cube.height() - r.y >= r.height;
}

// Reads the spectrum asked for into `spectrum`; the exit status.
int readSpectrum(const SpectrumOptions& options, const SCOpenedCube& opened,
                 SCAllocatedSpectrum& spectrum, std::int64_t& pixels) {
    SCFile& cube = *opened.cube;
    SCErrorCode result = SC_OK;
    if (!options.at.empty()) {
        const auto position = parseUnsignedList(options.at, 2);
        if (!position) {
            return reportFailure("--at takes X,Y", EXIT_USAGE);
        }
        result = cube.getSpectrum((*position)[0], (*position)[1], spectrum);
        pixels = 1;
    } else if (!options.region.empty()) {
        const std::optional<Rect> region = parseRect(options.region);
        if (!region) {
            return reportFailure("--region takes X,Y,W,H", EXIT_USAGE);
        }
        if (!inside(*region, cube)) {
            result = SC_OUT_OF_RANGE;
        } else {
            result = cube.computeRegionSpectrum(
                static_cast<int>(region->x), static_cast<int>(region->y),
                RectangleMask(region->width, region->height), spectrum, pixels);
        }
    } else {
        PngMask mask;
        if (const std::string error = mask.load(options.mask); !error.empty()) {
            return reportFailure(options.mask + ": " + error, EXIT_NOT_READABLE);
        }
        result = cube.computeRegionSpectrum(mask, spectrum, pixels);
    }
    if (result != SC_OK) {
        return reportFailure(options.cube + ": " + scErrorText(result),
                             result == SC_OUT_OF_RANGE ? EXIT_USAGE : EXIT_NOT_READABLE);
    }
    return EXIT_OK;
}

std::string csvText(const SCSpectrum& spectrum, const std::optional<SCEnergyCalibration>& scale) {
    std::ostringstream csv;
    csv << (scale ? "channel,energy_kev,value\n" : "channel,value\n");
    char number[64];
    for (unsigned c = 0; c < spectrum.size(); ++c) {
        csv << c << ',';
        if (scale) {
            std::snprintf(number, sizeof number, "%.6g,", scale->energyEv(c) / 1000.0);
            csv << number;
        }
        std::snprintf(number, sizeof number, "%.9g\n", static_cast<double>(spectrum[c]));
        csv << number;
    }
    return csv.str();
}

std::string svgText(const SpectrumOptions& options, const SCSpectrum& spectrum,
                    const std::optional<SCEnergyCalibration>& scale, std::int64_t pixels) {
    SpectrumPlot plot;
    for (unsigned c = 0; c < spectrum.size(); ++c) {
        plot.positions.push_back(scale ? scale->energyEv(c) / 1000.0 : c);
        plot.values.push_back(spectrum[c]);
    }
    plot.positionLabel = scale ? "Energy (keV)" : "Channel";
    plot.valueLabel = "Counts";
    plot.logarithmic = options.logarithmic;
    plot.title = options.cube +
                 (!options.at.empty()       ? " at " + options.at
                  : !options.region.empty() ? " region " + options.region
                                            : " mask " + options.mask) +
                 " (" + std::to_string(pixels) + (pixels == 1 ? " pixel)" : " pixels)");
    return renderSpectrumSvg(plot);
}

int runSpectrum(const SpectrumOptions& options) {
    const SCOpenedCube opened = SCCubeProbe::open(options.cube);
    if (!opened.status.ok()) {
        return reportFailure(opened.status);
    }
    if (std::uint64_t{opened.cube->width()} * opened.cube->height() == 0) {
        // Every position lies outside; the spectrum's claimed depth is not even allocated.
        return reportFailure(
            options.cube + ": " + scErrorText(SC_OUT_OF_RANGE) + " (the cube has no pixel)",
            EXIT_USAGE);
    }
    SCAllocatedSpectrum spectrum(opened.cube->depth());
    spectrum.reset();
    std::int64_t pixels = 0;
    if (const int status = readSpectrum(options, opened, spectrum, pixels); status != EXIT_OK) {
        return status;
    }
    const std::optional<SCEnergyCalibration> scale = options.calibration.resolve(opened.base);
    if (!options.svg.empty()) {
        if (const std::string error =
                writeTextFile(options.svg, svgText(options, spectrum, scale, pixels));
            !error.empty()) {
            return reportFailure(options.svg + ": " + error, EXIT_WRITE_FAILED);
        }
    }
    if (!options.csv.empty()) {
        if (const std::string error = writeTextFile(options.csv, csvText(spectrum, scale));
            !error.empty()) {
            return reportFailure(options.csv + ": " + error, EXIT_WRITE_FAILED);
        }
    } else if (options.svg.empty()) {
        std::cout << csvText(spectrum, scale) << std::flush;
    }
    return EXIT_OK;
}

}  // namespace

void addSpectrumCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<SpectrumOptions>();
    CLI::App* command = app.add_subcommand(
        "spectrum",
        "Print the spectrum of one pixel, or the summed spectrum of a rectangle or of the "
        "non-black pixels of a PNG mask (placed at the top-left corner), as CSV: channel, "
        "energy in keV when calibrated, value. With --svg, plot it instead.");
    command->add_option("CUBE", options->cube, "the cube (NAME.scdh, NAME.rpl, NAME.raw, NAME)")
        ->required();
    CLI::Option* at = command->add_option("--at", options->at, "one pixel: X,Y");
    CLI::Option* region =
        command->add_option("--region", options->region, "sum over a rectangle: X,Y,W,H");
    CLI::Option* mask =
        command->add_option("--mask", options->mask, "sum over the non-black pixels of MASK.png");
    at->excludes(region)->excludes(mask);
    region->excludes(mask);
    command->add_option("-o,--csv", options->csv,
                        "write the CSV to this file instead of the output");
    command->add_option("--svg", options->svg,
                        "write an SVG plot to this file (then no CSV is printed)");
    command->add_flag("--log", options->logarithmic, "logarithmic value axis in the plot");
    options->calibration.addTo(*command);
    command->footer(kExitStatusHelp);
    command->callback([options, at, region, mask, &status] {
        if (at->count() + region->count() + mask->count() != 1) {
            status = reportFailure("spectrum: give one of --at, --region or --mask", EXIT_USAGE);
            return;
        }
        status = runSpectrum(*options);
    });
}

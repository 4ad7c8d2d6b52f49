#include <iostream>
#include <memory>

#include "calibration_options.h"
#include "cli_arguments.h"
#include "commands.h"
#include "exit_status.h"
#include "image_rendering.h"
#include "png_writer.h"
#include "sc_api/sc_cube_probe.h"
#include "sc_api/sc_error_text.h"

namespace {

struct ImageOptions {
    std::string cube;
    std::string channels;
    std::string energy;
    std::string area;
    std::string output;
    bool eightBit = false;
    std::string percentiles = "0.5:99.5";
    std::string colormap;
    CalibrationOptions calibration;
};

// The channels asked for, by number or by energy; the exit status.
int chooseChannels(const ImageOptions& options, const SCOpenedCube& opened, unsigned& first,
                   unsigned& count) {
    if (!options.channels.empty()) {
        const auto channels = parseChannels(options.channels);
        if (!channels) {
            return reportFailure("--channels takes FIRST or FIRST:COUNT", EXIT_USAGE);
        }
        first = channels->first;
        count = channels->second;
        return EXIT_OK;
    }
    const auto interval = parseInterval(options.energy);
    if (!interval) {
        return reportFailure("--energy takes LO:HI in keV, LO <= HI", EXIT_USAGE);
    }
    const std::optional<SCEnergyCalibration> scale = options.calibration.resolve(opened.base);
    if (!scale) {
        return reportFailure(options.cube + ": no energy calibration; give --ev-per-channel",
                             EXIT_USAGE);
    }
    if (!scale->channelsBetween(interval->first * 1000.0, interval->second * 1000.0,
                                opened.cube->depth(), first, count)) {
        return reportFailure(options.cube + ": no channel lies between " + options.energy + " keV",
                             EXIT_USAGE);
    }
    return EXIT_OK;
}

std::string writeImage(const ImageOptions& options, unsigned width, unsigned height,
                       const std::vector<std::uint16_t>& roi) {
    if (!options.eightBit && options.colormap.empty()) {
        return writeGray16Png(options.output, width, height, roi.data());
    }
    const auto percentiles = parseInterval(options.percentiles);
    const auto [low, high] = percentileLimits(roi, percentiles->first, percentiles->second);
    const std::vector<std::uint8_t> grey = stretchTo8Bit(roi, low, high);
    if (options.colormap.empty()) {
        return writeGray8Png(options.output, width, height, grey.data());
    }
    const auto rgb = applyColormap(grey, options.colormap);
    return writeRgb8Png(options.output, width, height, rgb->data());
}

int runImage(const ImageOptions& options) {
    const auto percentiles = parseInterval(options.percentiles);
    if (!percentiles || percentiles->first < 0 || percentiles->second > 100) {
        return reportFailure("--percentiles takes LO:HI within 0...100", EXIT_USAGE);
    }
    const SCOpenedCube opened = SCCubeProbe::open(options.cube);
    if (!opened.status.ok()) {
        return reportFailure(opened.status);
    }
    unsigned first = 0;
    unsigned count = 0;
    if (const int status = chooseChannels(options, opened, first, count); status != EXIT_OK) {
        return status;
    }
    const SCFile& cube = *opened.cube;
    Rect area{0, 0, cube.width(), cube.height()};
    if (!options.area.empty()) {
        const std::optional<Rect> parsed = parseRect(options.area);
        if (!parsed) {
            return reportFailure("--area takes X,Y,W,H", EXIT_USAGE);
        }
        area = *parsed;
    }
    if (area.width == 0 || area.height == 0) {
        return reportFailure(options.cube + ": an image of " + std::to_string(area.width) + " x " +
                                 std::to_string(area.height) + " pixels cannot be written",
                             EXIT_USAGE);
    }
    std::vector<std::uint16_t> roi(std::size_t{area.width} * area.height);
    const SCErrorCode result = options.area.empty()
                                   ? cube.computeRoiImage(first, count, roi.data())
                                   : cube.computeSubRoiImage(first, count, area, roi.data());
    if (result != SC_OK) {
        return reportFailure(options.cube + ": " + scErrorText(result) + " (channels " +
                                 std::to_string(first) + ":" + std::to_string(count) + " of " +
                                 std::to_string(cube.depth()) + ")",
                             result == SC_OUT_OF_RANGE ? EXIT_USAGE : EXIT_NOT_READABLE);
    }
    if (const std::string error = writeImage(options, area.width, area.height, roi);
        !error.empty()) {
        return reportFailure(options.output + ": " + error, EXIT_WRITE_FAILED);
    }
    return EXIT_OK;
}

}  // namespace

void addImageCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ImageOptions>();
    CLI::App* command = app.add_subcommand(
        "image",
        "Write the ROI image (per pixel, the sum of a range of channels) as a 16-bit grey PNG, "
        "or with --8bit contrast-stretched between two percentiles, optionally coloured.");
    command->add_option("CUBE", options->cube, "the cube (NAME.scdh, NAME.rpl, NAME.raw, NAME)")
        ->required();
    CLI::Option* channels = command->add_option(
        "--channels", options->channels, "channels summed: FIRST (one channel) or FIRST:COUNT");
    CLI::Option* energy =
        command->add_option("--energy", options->energy,
                            "channels summed, by energy: LO:HI in keV (needs a calibration)");
    channels->excludes(energy);
    command->add_option("--area", options->area, "only this rectangle of the map: X,Y,W,H");
    command->add_option("-o,--output", options->output, "the PNG file to write")->required();
    command->add_flag("--8bit", options->eightBit,
                      "8-bit image stretched between the --percentiles limits");
    command
        ->add_option("--percentiles", options->percentiles,
                     "contrast limits of --8bit as LO:HI percentiles")
        ->capture_default_str();
    command
        ->add_option("--colormap", options->colormap,
                     "colour the 8-bit image (implies --8bit): grey, hot or viridis")
        ->check(CLI::IsMember({"grey", "gray", "hot", "viridis"}));
    options->calibration.addTo(*command);
    command->footer(kExitStatusHelp);
    command->callback([options, channels, energy, &status] {
        if (channels->count() + energy->count() != 1) {
            status = reportFailure("image: give one of --channels or --energy", EXIT_USAGE);
            return;
        }
        status = runImage(*options);
    });
}

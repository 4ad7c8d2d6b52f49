#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "sc_api/sc_energy_calibration.h"

// The --ev-per-channel and --offset-ev options shared by spectrum and image.
struct CalibrationOptions {
    std::optional<double> evPerChannel;
    std::optional<double> offsetEv;

    void addTo(CLI::App& command);
    // The scale to use for the cube `base`: the options where given, over the cube's own
    // calibration file; nothing when neither gives a channel width.
    std::optional<SCEnergyCalibration> resolve(const std::string& base) const;
};

#include "calibration_options.h"

void CalibrationOptions::addTo(CLI::App& command) {
    command
        .add_option("--ev-per-channel", evPerChannel,
                    "energy width of a channel in eV (default: the cube's calibration)")
        ->check(CLI::PositiveNumber);
    command.add_option("--offset-ev", offsetEv,
                       "energy of channel 0 in eV (default: the cube's calibration, else 0)");
}

std::optional<SCEnergyCalibration> CalibrationOptions::resolve(const std::string& base) const {
    SCEnergyCalibration calibration;
    const bool stored = SCEnergyCalibration::read(base, calibration);
    if (evPerChannel) {
        calibration.evPerChannel = *evPerChannel;
        calibration.offsetEv = stored ? calibration.offsetEv : 0.0;
    }
    if (offsetEv) {
        calibration.offsetEv = *offsetEv;
    }
    if ((!stored && !evPerChannel) || !calibration.isValid()) {
        return std::nullopt;
    }
    return calibration;
}

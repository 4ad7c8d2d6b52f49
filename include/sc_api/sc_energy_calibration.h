#pragma once

#include <string>

#include "sc_api/export.h"
#include "sc_api/sc_status.h"

// The energy scale of a cube's channels: channel c is centred on offsetEv + evPerChannel * c
// electronvolts. A cube keeps its calibration, when it has one, in the text file
// base + ".calibration" beside its other files (lines "ev-per-channel <value>" and
// "offset-ev <value>"); the cube formats themselves carry none.
struct SC_API_EXPORT SCEnergyCalibration {
    double evPerChannel = 0.0;  // width of a channel in eV; positive when calibrated
    double offsetEv = 0.0;      // energy of channel 0 in eV

    static constexpr const char* EXTENSION = ".calibration";

    // Whether the scale is usable: evPerChannel positive and both values finite.
    bool isValid() const;
    // Energy of channel c in eV.
    double energyEv(double channel) const { return offsetEv + evPerChannel * channel; }
    // The channels whose centre lies in [loEv, hiEv], clipped to 0 ... depth - 1, as (first,
    // count). False, changing nothing, when the scale is not valid, loEv > hiEv, or no channel
    // of the cube lies in the interval.
    bool channelsBetween(double loEv, double hiEv, unsigned depth, unsigned& first,
                         unsigned& count) const;

    // Reads base + ".calibration". False when the file does not exist, cannot be read or does
    // not hold a valid scale; `out` is then unchanged.
    static bool read(const std::string& base, SCEnergyCalibration& out);
    // Writes base + ".calibration" (created or replaced).
    SCStatus write(const std::string& base) const;
};

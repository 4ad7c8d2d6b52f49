#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sc_api/export.h"
#include "sc_api/rect.h"
#include "sc_api/sc_cube_probe.h"
#include "sc_api/sc_energy_calibration.h"
#include "sc_api/sc_status.h"

// One file of a cube and its size in bytes.
struct SC_API_EXPORT SCCubeFileSize {
    std::string path;
    std::uint64_t bytes = 0;
};

// What a cube is: its form, dimensions, scale, files and, for a fragmented cube, its areas.
struct SC_API_EXPORT SCCubeInfo {
    SCCubeForm form = SCCubeForm::SCD;
    std::string base;  // the cube's name without extension
    unsigned width = 0;
    unsigned height = 0;
    unsigned depth = 0;
    unsigned version = 0;               // 0 for raw cubes, 1 for SCD cubes
    float factor = 1.0f;                // scale applied to stored counts when read
    std::uint64_t acquiredPixels = 0;   // pixels that hold acquired data
    std::vector<SCCubeFileSize> files;  // every file of the cube (SCCubeProbe::files)
    std::vector<Rect> areas;            // fragmented cubes: area i + 1 in cube coordinates
    bool calibrated = false;            // whether `calibration` holds the cube's energy scale
    SCEnergyCalibration calibration;

    // width x height x depth.
    std::uint64_t valueCount() const;
    // Sum of the file sizes.
    std::uint64_t totalBytes() const;
    // How many times larger the cube would be stored as 16-bit (or 32-bit) values without
    // compression than it is; 0 when the files are empty.
    double ratioTo16Bit() const;
    double ratioTo32Bit() const;

    // Opens the cube `name` (as SCCubeProbe::open does) and describes it. The acquired pixels
    // are counted with SCCube::isAcquired; areas come from the fragmented area map.
    static SCStatus inspect(const std::string& name, SCCubeInfo& info);
};

#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sc_api/rect.h"
#include "sc_api/sc_file.h"
#include "support/reference_scd_writer.h"

namespace test_support {

// A fragmented cube described in memory: its size, its factor and its areas in index order
// (area i at areas[i - 1]). Each area stores its first storedLines lines; the map gives every
// pixel of those lines to the last area storing it, as a builder fed the areas in order does.
struct FragmentedCubeModel {
    struct Area {
        Rect rect;                 // in cube coordinates
        unsigned storedLines = 0;  // lines stored from the area's top line on
    };
    using AreaCounts =
        std::function<unsigned short(unsigned area, unsigned x, unsigned y, unsigned c)>;

    unsigned width = 0;
    unsigned height = 0;
    unsigned depth = 0;
    float factor = 1.0f;
    std::vector<Area> areas;
    // The count that area `area` stores for cube pixel (x, y), channel c.
    AreaCounts counts = [](unsigned area, unsigned x, unsigned y, unsigned c) {
        return static_cast<unsigned short>(area * 1000 + y * 100 + x * 3 + c);
    };

    // The area that the map gives pixel (x, y) to; 0 when none stores it.
    unsigned areaOf(unsigned x, unsigned y) const;
    // What a spectrum read gives: the count of areaOf(x, y), 0 where no area stores the pixel.
    unsigned short spectrumCount(unsigned x, unsigned y, unsigned c) const;
    // What an image read gives: the count of the highest area whose rectangle covers the pixel
    // (0 in the lines it did not store), 0 where no area covers it.
    unsigned short imageCount(unsigned x, unsigned y, unsigned c) const;
    std::vector<unsigned short> spectrum(unsigned x, unsigned y) const;
    // width x height counts of channel c, row-major.
    std::vector<unsigned short> image(unsigned c) const;
    // The ROI image of channels first .. first+count-1 over the image view, scaled as reads do.
    std::vector<unsigned short> roiImage(unsigned first, unsigned count) const;
    // Area `area` (from 1) as an SCD cube of its own, in its own coordinates.
    ReferenceCube areaCube(unsigned area) const;
    // The line of area `area` that the builder takes for its local line y.
    std::vector<unsigned short> areaLine(unsigned area, unsigned y) const;
};

// A 20 x 5 cube of 40 channels stored as two whole areas, (0, 0, 10, 5) and (10, 0, 10, 5).
FragmentedCubeModel twoAreasSideBySide();
// A 10 x 5 cube of 3 channels: area 1 (0, 0, 6, 4) whole, area 2 (3, 1, 6, 3) over it with only
// its first 2 lines stored, so that in cube line 3 the overlap belongs to area 1 in the map but
// to area 2 (zeros) in the images; pixels outside both areas are not acquired.
FragmentedCubeModel overlappingAreas();
// The model with only its first `areaCount` areas, the last of them storing `lastLines` lines:
// the cube as a builder has it while that area is in progress.
FragmentedCubeModel acquiredUpTo(const FragmentedCubeModel& model, unsigned areaCount,
                                 unsigned lastLines);

// The bytes of the model's map file, assembled field by field from the layout.
std::string fragmentedHeaderBytes(const FragmentedCubeModel& model);

// Writes the model as the fragmented cube base without the library's fragmented code: the map
// base + ".scdh" from fragmentedHeaderBytes and area i as the SCD cube base + "." + i with
// writeReferenceSCD. False when a file cannot be written.
bool writeFragmentedCube(const std::string& base, const FragmentedCubeModel& model);

// Builds the model as the fragmented cube base with FragmentedSCDBuilder: every area started in
// order and fed its stored lines, then close(). Fails when a call does not give SC_OK.
::testing::AssertionResult buildFragmentedCube(const std::string& base,
                                               const FragmentedCubeModel& model);

// Whether every spectrum (readSpectrums, one line per call) and every image (readImages, all at
// once) of `cube` holds exactly the model's counts, with nothing written outside the buffers.
::testing::AssertionResult readsModel(SCFile& cube, const FragmentedCubeModel& model);

}  // namespace test_support

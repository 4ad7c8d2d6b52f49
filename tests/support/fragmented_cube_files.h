#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sc_api/rect.h"
#include "sc_api/sc_file.h"

namespace test_support {

// A fragmented cube described in memory: its size, its factor and its areas in index order
// (area i at areas[i - 1]). Each area stores its first storedLines lines; the map gives every
// pixel of those lines to the last area storing it, as a builder fed the areas in order does.
struct FragmentedCubeModel {
    struct Area {
        Rect rect;                 // in cube coordinates
        unsigned storedLines = 0;  // lines stored from the area's top line on
    };

    unsigned width = 0;
    unsigned height = 0;
    unsigned depth = 0;
    float factor = 1.0f;
    std::vector<Area> areas;

    // The count that area `area` stores for cube pixel (x, y), channel c.
    static unsigned short storedCount(unsigned area, unsigned x, unsigned y, unsigned c) {
        return static_cast<unsigned short>(area * 1000 + y * 100 + x * 3 + c);
    }
    // The area the map gives pixel (x, y) to; without `storing`, the highest covering it. 0: none.
    unsigned areaOf(unsigned x, unsigned y, bool storing = true) const;
    // What a spectrum read gives: the count of areaOf(x, y), 0 where no area stores the pixel.
    unsigned short spectrumCount(unsigned x, unsigned y, unsigned c) const;
    // What an image read gives: the count of the highest area whose rectangle covers the pixel
    // (0 in the lines it did not store), 0 where no area covers it.
    unsigned short imageCount(unsigned x, unsigned y, unsigned c) const;
    // The ROI image of channels first .. first+count-1, scaled as reads do, row-major.
    std::vector<unsigned short> roiImage(unsigned first, unsigned count) const;
    // The line of area `area` that the builder takes for its local line y.
    std::vector<unsigned short> areaLine(unsigned area, unsigned y) const;
};

// A 20 x 5 cube of 40 channels stored as two whole areas, (0, 0, 10, 5) and (10, 0, 10, 5).
FragmentedCubeModel twoAreasSideBySide();
// A 10 x 5 cube of 3 channels: area 1 (0, 0, 6, 4) whole, area 2 (3, 1, 6, 3) over it storing 2
// lines, so that in line 3 the overlap is area 1's in the map but area 2's (zeros) in the images.
FragmentedCubeModel overlappingAreas();

// The bytes of the model's map file, assembled field by field from the layout.
std::string fragmentedHeaderBytes(const FragmentedCubeModel& model);

// Writes the model as the fragmented cube base without the library's fragmented code: the map
// from fragmentedHeaderBytes, area i with writeReferenceSCD. False when a file is not written.
bool writeFragmentedCube(const std::string& base, const FragmentedCubeModel& model);

// Whether every spectrum (one readSpectrums of the whole cube), image (one readImages) and
// isAcquired of `cube` agrees with the model, with nothing written outside the buffers.
::testing::AssertionResult readsModel(SCFile& cube, const FragmentedCubeModel& model);

}  // namespace test_support

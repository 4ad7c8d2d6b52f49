#include "sc_api/sc_cube_info.h"

#include <fstream>

#include "sc_api/fragmented_scd_header.h"
#include "sc_api/scd.h"
#include "tools/file_access.h"

namespace {

// The rectangles of the areas of the fragmented cube `base`: origin from the map, size from the
// area's own cube.
std::vector<Rect> areasOf(const std::string& base) {
    FragmentedSCDHeader map;
    std::ifstream in(base + SCD::HEADER_EXTENSION, std::ios::binary);
    std::vector<Rect> areas;
    if (map.read(in) != SC_OK) {
        return areas;
    }
    for (unsigned i = 1; i <= map.numAreas(); ++i) {
        SharedPtr<SCFile, SCDeleteFile> area(SCD::openSCD(base + "." + std::to_string(i)));
        const std::pair<unsigned, unsigned> origin = map.getOrigin(i);
        areas.push_back(
            Rect{origin.first, origin.second, area ? area->width() : 0, area ? area->height() : 0});
    }
    return areas;
}

std::uint64_t countAcquired(const SCFile& cube) {
    std::uint64_t acquired = 0;
    for (unsigned y = 0; cube.width() != 0 && y < cube.height(); ++y) {
        for (unsigned x = 0; x < cube.width(); ++x) {
            acquired += cube.isAcquired(x, y) ? 1 : 0;
        }
    }
    return acquired;
}

double ratio(std::uint64_t uncompressed, std::uint64_t stored) {
    return stored == 0 ? 0.0 : static_cast<double>(uncompressed) / static_cast<double>(stored);
}

}  // namespace

std::uint64_t SCCubeInfo::valueCount() const {
    return std::uint64_t{width} * height * depth;
}

std::uint64_t SCCubeInfo::totalBytes() const {
    std::uint64_t total = 0;
    for (const SCCubeFileSize& file : files) {
        total += file.bytes;
    }
    return total;
}

double SCCubeInfo::ratioTo16Bit() const {
    return ratio(valueCount() * 2, totalBytes());
}

double SCCubeInfo::ratioTo32Bit() const {
    return ratio(valueCount() * 4, totalBytes());
}

SCStatus SCCubeInfo::inspect(const std::string& name, SCCubeInfo& info) {
    const SCOpenedCube opened = SCCubeProbe::open(name);
    if (!opened.status.ok()) {
        return opened.status;
    }
    SCFile& cube = *opened.cube;
    info = SCCubeInfo();
    info.form = opened.form;
    info.base = opened.base;
    info.width = cube.width();
    info.height = cube.height();
    info.depth = cube.depth();
    info.version = cube.version();
    info.factor = cube.factor();
    info.acquiredPixels = countAcquired(cube);
    for (const std::string& path : SCCubeProbe::files(opened.base, opened.form)) {
        info.files.push_back({path, regularFileSize(path).value_or(0)});
    }
    if (opened.form == SCCubeForm::FRAGMENTED_SCD) {
        info.areas = areasOf(opened.base);
    }
    info.calibrated = SCEnergyCalibration::read(opened.base, info.calibration);
    return {};
}

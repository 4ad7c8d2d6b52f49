#include "sc_api/sc_cube.h"

SCCube::~SCCube() = default;

SCErrorCode SCCube::computeRegionSpectrum(const PixmapMask& mask, SCSpectrum& out,
                                          std::int64_t& pixelCount) {
    return computeRegionSpectrum(0, 0, mask, out, pixelCount);
}

void SCDeleteCube::free(SCCube* cube) {
    delete cube;
}

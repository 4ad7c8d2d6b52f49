#pragma once

#include "sc_api/export.h"

// A two-dimensional selection of pixels, used to sum region spectra. Mask pixel (x, y) is
// placed on cube pixel (x0 + x, y0 + y) by the region reads.
class SC_API_EXPORT PixmapMask {
  public:
    PixmapMask() = default;
    PixmapMask(const PixmapMask&) = default;
    PixmapMask& operator=(const PixmapMask&) = default;
    virtual ~PixmapMask();

    virtual unsigned width() const = 0;
    virtual unsigned height() const = 0;
    // Whether mask pixel (x, y), x < width(), y < height(), belongs to the region.
    virtual bool isSelected(unsigned x, unsigned y) const = 0;
};

#pragma once

#include <cstdint>
#include <vector>

#include "sc_api/export.h"
#include "sc_api/rect.h"
#include "sc_api/sc_error_code.h"

class SCSpectrum;
class PixmapMask;

// The read interface of a spectral-image cube: width x height pixels, each holding a spectrum
// of depth channels. Pixel order is row-major everywhere (index y * width + x); channel ranges
// are (first, count). Every output buffer is allocated and sized by the caller.
//
// Spectra come back as floats and images as 16-bit values, both multiplied by the cube's scale
// factor; scaled image values keep the low 16 bits of the truncated product (no clamping).
class SC_API_EXPORT SCCube {
  public:
    SCCube() = default;
    SCCube(const SCCube&) {}
    SCCube& operator=(const SCCube&) { return *this; }
    virtual ~SCCube();

    virtual unsigned width() const = 0;
    virtual unsigned height() const = 0;
    virtual unsigned depth() const = 0;
    // Whether pixel (x, y) holds acquired data.
    virtual bool isAcquired(unsigned x, unsigned y) const = 0;

    // Spectrum of pixel (x, y); `out` holds at least depth() channels.
    virtual SCErrorCode getSpectrum(unsigned x, unsigned y, SCSpectrum& out) const = 0;
    // `count` spectra from pixel (x, y) on, row-major (wrapping onto following rows); spectrum
    // k goes to *out[k].
    virtual SCErrorCode getSpectrums(unsigned x, unsigned y, unsigned count,
                                     const std::vector<SCSpectrum*>& out) const = 0;
    // Sum of the spectra of the acquired pixels selected by `mask` placed at (x0, y0), which
    // may be negative; pixelCount receives the number of pixels summed.
    virtual SCErrorCode computeRegionSpectrum(int x0, int y0, const PixmapMask& mask,
                                              SCSpectrum& out, std::int64_t& pixelCount) = 0;
    // The same with the mask placed at (0, 0).
    virtual SCErrorCode computeRegionSpectrum(const PixmapMask& mask, SCSpectrum& out,
                                              std::int64_t& pixelCount);
    // Image of one channel: width() x height() values.
    virtual SCErrorCode getImage(unsigned channel, unsigned short* out) const = 0;
    // The sub-rectangle r of one channel image: r.width x r.height values.
    virtual SCErrorCode getSubImage(unsigned channel, const Rect& r, unsigned short* out) const = 0;
    // Images of the listed channels, in list order, one after another.
    virtual SCErrorCode getImages(const std::vector<unsigned>& channels,
                                  unsigned short* out) const = 0;
    // Images of channels first .. first+count-1, one after another.
    virtual SCErrorCode getImages(unsigned first, unsigned count, unsigned short* out) const = 0;
    virtual SCErrorCode getSubImages(const std::vector<unsigned>& channels, const Rect& r,
                                     unsigned short* out) const = 0;
    virtual SCErrorCode getSubImages(unsigned first, unsigned count, const Rect& r,
                                     unsigned short* out) const = 0;
    // Per pixel, the sum of channels first .. first+count-1, scaled to 16 bits.
    virtual SCErrorCode computeRoiImage(unsigned first, unsigned count,
                                        unsigned short* out) const = 0;
    // The same over the sub-rectangle r only.
    virtual SCErrorCode computeSubRoiImage(unsigned first, unsigned count, const Rect& r,
                                           unsigned short* out) const = 0;
};

// Deleter policy for SharedPtr<SCCube, SCDeleteCube>.
struct SC_API_EXPORT SCDeleteCube {
    static void free(SCCube* cube);
};

#pragma once

#include <utility>
#include <vector>

#include "sc_api/sc_cube.h"

// A pixel position (x, y) as the read primitives take it.
using SCPixelPosition = std::pair<unsigned int, unsigned int>;

// A cube backed by files. SCFile implements every read of SCCube once, for all formats, on top
// of eight per-format primitives; a format only delivers raw 16-bit counts.
//
// The generic reads scale by factor(), read once per call after the data. Region spectra fetch
// pixels in batches of at most 32 per readSpectrumsAt call; ROI images, sub-ROI images and
// sub-images fetch channels in runs of at most 32 per readImages call, so their temporary
// memory is bounded by 32 images. getImages(first, count) and getSpectrums make one primitive
// call for the whole request. Failures of the primitives are returned unchanged.
//
// Refused with SC_OUT_OF_RANGE before anything is read: a Rect that leaves the cube, a channel
// range beyond depth() for the ROI and sub-image reads, an output spectrum with fewer than
// depth() channels (or fewer spectra than requested). A request whose temporary buffers cannot
// be allocated gives SC_ALLOCATION_ERROR; a stored stream that fails to decode gives
// SC_FORMAT_ERROR (see the primitives for what the buffers then hold).
class SC_API_EXPORT SCFile : public SCCube {
  public:
    SCFile() = default;
    SCFile(const SCFile&) : SCCube() {}
    SCFile& operator=(const SCFile&) { return *this; }
    ~SCFile() override;

    using SCCube::computeRegionSpectrum;

    SCErrorCode getSpectrum(unsigned x, unsigned y, SCSpectrum& out) const override;
    SCErrorCode getSpectrums(unsigned x, unsigned y, unsigned count,
                             const std::vector<SCSpectrum*>& out) const override;
    SCErrorCode computeRegionSpectrum(int x0, int y0, const PixmapMask& mask, SCSpectrum& out,
                                      std::int64_t& pixelCount) override;
    SCErrorCode getImage(unsigned channel, unsigned short* out) const override;
    SCErrorCode getSubImage(unsigned channel, const Rect& r, unsigned short* out) const override;
    SCErrorCode getImages(const std::vector<unsigned>& channels,
                          unsigned short* out) const override;
    SCErrorCode getImages(unsigned first, unsigned count, unsigned short* out) const override;
    SCErrorCode getSubImages(const std::vector<unsigned>& channels, const Rect& r,
                             unsigned short* out) const override;
    SCErrorCode getSubImages(unsigned first, unsigned count, const Rect& r,
                             unsigned short* out) const override;
    SCErrorCode computeRoiImage(unsigned first, unsigned count, unsigned short* out) const override;
    SCErrorCode computeSubRoiImage(unsigned first, unsigned count, const Rect& r,
                                   unsigned short* out) const override;

    // --- Per-format primitives. They deliver stored counts, without the scale factor. ---

    // True when every backing file is open.
    virtual bool isOpen() = 0;
    // Closes the backing files.
    virtual SCErrorCode close() = 0;
    // Format version: 0 for raw files, 1 for SCD files.
    virtual unsigned version() const = 0;
    // Scale factor applied to stored counts by the generic reads.
    virtual float factor() const = 0;
    // The spectrum of each listed pixel into the buffer of the same index (depth() values each).
    virtual SCErrorCode readSpectrumsAt(const std::vector<SCPixelPosition>& positions,
                                        const std::vector<unsigned short*>& outs) = 0;
    // `count` consecutive spectra from pixel (x, y), row-major, spectrum after spectrum;
    // SC_OUT_OF_RANGE when the run leaves the cube.
    virtual SCErrorCode readSpectrums(unsigned x, unsigned y, unsigned count,
                                      unsigned short* out) = 0;
    // The image of each listed channel into the buffer of the same index.
    virtual SCErrorCode readImagesAt(const std::vector<unsigned>& channels,
                                     const std::vector<unsigned short*>& outs) = 0;
    // Images of channels first .. first+count-1, image after image; SC_OUT_OF_RANGE when
    // first + count > depth().
    virtual SCErrorCode readImages(unsigned first, unsigned count, unsigned short* out) = 0;
};

// Deleter policy for SharedPtr<SCFile, SCDeleteFile>.
struct SC_API_EXPORT SCDeleteFile {
    static void free(SCFile* file);
};

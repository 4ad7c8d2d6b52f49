#pragma once

#include <cstdint>
#include <vector>

#include "sc_api/sc_cube.h"
#include "sc_api/sc_file.h"
#include "sc_api/sc_progress.h"
#include "sc_api/sc_spectrum_reader.h"

// Counts units of work against a total for an SCProgress that may be absent, and remembers
// when it asked to stop.
class ProgressCounter {
  public:
    ProgressCounter(SCProgress* progress, std::uint64_t total)
        : progress_(progress), total_(total) {}

    // Adds `units` to the work done and reports it; false once the receiver asked to stop.
    bool add(std::uint64_t units);
    bool stopped() const { return stopped_; }

  private:
    SCProgress* progress_;  // may be null
    std::uint64_t total_;   // units of the whole operation
    std::uint64_t done_ = 0;
    bool stopped_ = false;
};

// The stored counts of an open cube, spectrum after spectrum, as the source of SCD::encode, with
// the cube's factor and every line acquired (pixels of no area read as zeros). Progress counts
// spectra over two passes. Once the receiver asks to stop, reads answer -1.
class CubeSpectrumSource : public SCSpectrumReader {
  public:
    CubeSpectrumSource(SCFile& cube, SCProgress* progress);

    bool isOpen() const override { return true; }
    int close() override { return 1; }
    int read(unsigned short* buffer, unsigned count) override;
    bool rewind() override;
    unsigned width() const override { return cube_.width(); }
    unsigned height() const override { return cube_.height(); }
    unsigned depth() const override { return cube_.depth(); }
    float factor() const override { return cube_.factor(); }
    unsigned acquiredLines() const override { return cube_.height(); }

    bool stopped() const { return counter_.stopped(); }

  private:
    SCFile& cube_;
    ProgressCounter counter_;
    std::uint64_t pixels_;    // width x height
    std::uint64_t next_ = 0;  // next pixel to deliver, row-major
};

// A cube that forwards every read to another and counts the values read (spectra: depth each;
// images: width x height each). Once the receiver asks to stop, reads answer SC_OUT_OF_RANGE
// without reading.
class ProgressCube : public SCCube {
  public:
    ProgressCube(SCCube& cube, SCProgress* progress);

    bool stopped() const { return counter_.stopped(); }

    unsigned width() const override { return cube_.width(); }
    unsigned height() const override { return cube_.height(); }
    unsigned depth() const override { return cube_.depth(); }
    bool isAcquired(unsigned x, unsigned y) const override { return cube_.isAcquired(x, y); }
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

  private:
    // Counts `values` values about to be read; false when the receiver asked to stop.
    bool count(std::uint64_t values) const { return counter_.add(values); }

    SCCube& cube_;
    mutable ProgressCounter counter_;
};

#pragma once

#include <cstdint>
#include <iosfwd>
#include <vector>

#include "codec/scd_symbol.h"

// The header file of a simple SCD cube, in memory: dimensions, scale factor, the offset of every
// coded stream in the spectrum and image files, and the code table. The reader loads it once when
// it opens a cube; the writers fill the offsets and codes and write it when they finish a cube.
//
// The file, all integers little-endian, nothing padded: magic, version, header type (simple),
// index width (32 or 64), width W, height H, depth D, acquired lines A (uint32 each), factor
// (float32); W x A spectrum offsets then D image offsets (4 or 8 bytes each, as the index width
// says); the number of code-table entries K (uint32); K entries of run length (uint8), value
// (uint16), code length L (uint32) and ceil(L / 8) code bytes, bit 0 first.
class SCDHeader {
  public:
    // All numbers 0, empty offsets and code table; for reading.
    SCDHeader() = default;
    SCDHeader(unsigned int width, unsigned int height, unsigned int depth,
              unsigned int acquiredLines, float factor);

    unsigned int width() const { return width_; }
    unsigned int height() const { return height_; }
    unsigned int depth() const { return depth_; }
    unsigned int acquiredLines() const { return acquiredLines_; }
    float factor() const { return factor_; }
    void setAcquiredLines(unsigned int acquiredLines) { acquiredLines_ = acquiredLines; }

    // W x A entries, entry y x W + x for pixel (x, y).
    std::vector<std::uint64_t>& spectrumOffsets() { return spectrumOffsets_; }
    const std::vector<std::uint64_t>& spectrumOffsets() const { return spectrumOffsets_; }
    // D entries, entry c for channel c.
    std::vector<std::uint64_t>& imageOffsets() { return imageOffsets_; }
    const std::vector<std::uint64_t>& imageOffsets() const { return imageOffsets_; }
    SCCodeTable& codes() { return codes_; }
    const SCCodeTable& codes() const { return codes_; }

    // REQUIRES: x < width(), y < acquiredLines() (and the offsets filled).
    std::uint64_t spectrumOffset(unsigned int x, unsigned int y) const {
        return spectrumOffsets_[std::uint64_t{y} * width_ + x];
    }
    // REQUIRES: channel < depth() (and the offsets filled).
    std::uint64_t imageOffset(unsigned int channel) const { return imageOffsets_[channel]; }

    // The index width that write() uses: SCD::INDEX64 when the last spectrum offset or the last
    // image offset is 2^32 or more, SCD::INDEX32 otherwise.
    unsigned int indexWidth() const;

    // Reads a whole header file from a binary stream positioned at its start. Returns SC_OK, or
    // SC_FORMAT_ERROR for a wrong magic, a header type other than simple, a read that comes up
    // short, or counts that the rest of the stream cannot hold (refused before any memory is
    // taken for them; a stream whose length cannot be told is read in bounded chunks). The
    // version field is not examined; an index width other than 32 means 8-byte entries. A symbol
    // that appears twice keeps its last code. After a failure the record is not to be used.
    int read(std::istream& in);

    // Writes the whole header file to a binary stream. Returns SC_OK, or SC_FORMAT_ERROR at the
    // first write that fails (the file is then incomplete), or, writing nothing, when the
    // offsets do not number W x A and D or the table has more than 2^32 - 1 entries.
    int write(std::ostream& out) const;

  private:
    unsigned int width_ = 0;                      // W, pixels per line
    unsigned int height_ = 0;                     // H, lines of the cube
    unsigned int depth_ = 0;                      // D, channels per spectrum
    unsigned int acquiredLines_ = 0;              // A, lines stored
    float factor_ = 0.0f;                         // scale applied to stored counts when read
    std::vector<std::uint64_t> spectrumOffsets_;  // stream offsets in the spectrum file
    std::vector<std::uint64_t> imageOffsets_;     // stream offsets in the image file
    SCCodeTable codes_;                           // code of each symbol
};

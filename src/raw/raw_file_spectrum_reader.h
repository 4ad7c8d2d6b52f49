#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/file_stream.h"
#include "sc_api/sc_raw_header.h"
#include "sc_api/sc_spectrum_reader.h"

// The spectra of a raw cube (the ".rpl"/".raw" pair, 32-bit little-endian values) for
// SCD::encode: each spectrum's values keep their low 16 bits, the factor is 1.0 and every line
// is acquired. Spectra come in row-major pixel order whichever order the data file stores them
// in: a cube stored by vector is read straight through; one stored by image is read a window
// of pixels at a time, one read per channel image, and transposed.
//
// REQUIRES for meaningful spectra: the data file holds the width x height x depth values that
// the header promises (RawToSCD checks it before opening). Reads stop at the last pixel.
class SCRawFileSpectrumReader : public SCSpectrumReader {
  public:
    // Spectra read ahead from a file stored by image, as 16-bit values (unless a single read
    // asks for more).
    static constexpr std::uint64_t kWindowValues = 8u << 20;

    // A reader whose header is to be filled and whose data file is not open. windowValues
    // bounds the read-ahead of a file stored by image.
    explicit SCRawFileSpectrumReader(std::uint64_t windowValues = kWindowValues)
        : windowValues_(windowValues) {}

    // The header describing the data file; fill it before open().
    SCRawHeader& header() { return header_; }
    const SCRawHeader& header() const { return header_; }
    // Opens `dataPath` for reading at the first pixel. Returns isOpen().
    bool open(const std::string& dataPath);

    bool isOpen() const override { return stream_.isOpen(); }
    int close() override { return stream_.close(); }
    // The next spectra, at most `count` (and no further than the last pixel), or -1 when the
    // file cannot be read. A spectrum cut by the end of the file is not delivered.
    int read(unsigned short* buffer, unsigned count) override;
    bool rewind() override;

    unsigned width() const override { return header_.width(); }
    unsigned height() const override { return header_.height(); }
    unsigned depth() const override { return header_.depth(); }
    float factor() const override { return 1.0f; }
    unsigned acquiredLines() const override { return header_.height(); }

  private:
    std::uint64_t pixelCount() const { return std::uint64_t{width()} * height(); }
    int readByVector(unsigned short* buffer, unsigned count);
    int readByImage(unsigned short* buffer, unsigned count);
    // Loads the spectra of pixels first ... first + count - 1 into the window.
    bool fillWindow(std::uint64_t first, std::uint64_t count);

    const std::uint64_t windowValues_;    // read-ahead by image, in values
    SCRawHeader header_;                  // dimensions and storage order
    SystemInputFileStream stream_;        // the ".raw" file
    std::uint64_t nextPixel_ = 0;         // pixel of the next spectrum to deliver
    std::vector<unsigned char> bytes_;    // file bytes on their way to 16-bit values
    std::vector<unsigned short> window_;  // by image: spectra read ahead, pixel after pixel
    std::vector<unsigned short> images_;  // by image: a group of channels being read
    std::uint64_t windowFirst_ = 0;       // pixel of the window's first spectrum
    std::uint64_t windowCount_ = 0;       // spectra in the window
};

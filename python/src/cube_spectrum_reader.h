#pragma once

#include "sc_api/sc_file.h"
#include "sc_api/sc_spectrum_reader.h"

namespace sc_api_python {

// The spectra of any open cube as items for SCD::encode: pixel after pixel in row-major
// order, the stored counts and the cube's factor, every line counted as acquired (pixels that
// a fragmented cube never acquired read as zeros). The cube must outlive the reader and must
// not be read by anyone else meanwhile.
class CubeSpectrumReader : public SCSpectrumReader {
  public:
    explicit CubeSpectrumReader(SCFile& cube) : cube_(cube) {}

    bool isOpen() const override { return cube_.isOpen(); }
    int close() override { return 1; }
    // The next spectra, at most `count`; -1 when the cube reports a failure.
    int read(unsigned short* buffer, unsigned count) override;
    bool rewind() override;

    unsigned width() const override { return cube_.width(); }
    unsigned height() const override { return cube_.height(); }
    unsigned depth() const override { return cube_.depth(); }
    float factor() const override { return cube_.factor(); }
    unsigned acquiredLines() const override { return cube_.height(); }

  private:
    SCFile& cube_;                 // the source
    unsigned long long next_ = 0;  // pixel index of the next spectrum
};

}  // namespace sc_api_python

#pragma once

#include "sc_api/export.h"
#include "sc_api/sc_item_reader.h"

// The spectra of a whole cube as items for SCD::encode: one item per pixel in row-major order
// (x fastest), each item depth() values, lines 0 ... acquiredLines() - 1 of the cube.
class SC_API_EXPORT SCSpectrumReader : public SCItemReader {
  public:
    // depth().
    unsigned itemSize() const override { return depth(); }

    virtual unsigned width() const = 0;
    virtual unsigned height() const = 0;
    virtual unsigned depth() const = 0;
    // Scale factor stored with the cube: the counts are multiplied by it when read.
    virtual float factor() const = 0;
    // Number of lines the source holds, from line 0 on (at most height()); the lines after
    // them read as zeros in the encoded cube.
    virtual unsigned acquiredLines() const = 0;
};

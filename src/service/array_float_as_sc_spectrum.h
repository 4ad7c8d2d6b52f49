#pragma once

#include "sc_api/sc_spectrum.h"
#include "tuplink/base_array.h"

// A spectrum whose channel values live in a middleware float array, so that a cube read fills
// the array that then travels in the reply without another copy.
class ArrayFloatAsSCSpectrum : public SCSpectrum {
  public:
    // `depth` channels, all 0.0. When the memory cannot be had the array is empty: check
    // size().
    explicit ArrayFloatAsSCSpectrum(unsigned depth);
    // Empties the array.
    ~ArrayFloatAsSCSpectrum() override;
    ArrayFloatAsSCSpectrum(const ArrayFloatAsSCSpectrum&) = delete;
    ArrayFloatAsSCSpectrum& operator=(const ArrayFloatAsSCSpectrum&) = delete;

    // The array's element count.
    unsigned size() const override;
    // Element i of the array. REQUIRES: i < size().
    float& operator[](unsigned i) override;
    float operator[](unsigned i) const override;

    tuplink::Array<float>& array() { return values_; }

  private:
    tuplink::Array<float> values_;  // the channel values
};

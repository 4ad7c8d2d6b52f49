#pragma once

#include "sc_api/export.h"

// A spectrum of float channel values, as the cube reads deliver them (counts times the cube's
// scale factor).
class SC_API_EXPORT SCSpectrum {
  public:
    SCSpectrum() = default;
    SCSpectrum(const SCSpectrum&) = default;
    SCSpectrum& operator=(const SCSpectrum&) = default;
    virtual ~SCSpectrum();

    // Number of channels.
    virtual unsigned size() const = 0;
    // Channel i; no bounds check, i must be below size().
    virtual float& operator[](unsigned i) = 0;
    virtual float operator[](unsigned i) const = 0;

    // Adds `other` channel by channel over this spectrum's size(); `other` must hold at least
    // as many channels.
    virtual SCSpectrum& operator+=(const SCSpectrum& other);
    // Sets every channel to 0.0.
    virtual void reset();
};

// A spectrum that owns its storage: `size` floats, allocated at construction and not cleared.
class SC_API_EXPORT SCAllocatedSpectrum : public SCSpectrum {
  public:
    explicit SCAllocatedSpectrum(unsigned size);
    SCAllocatedSpectrum(const SCAllocatedSpectrum&) = delete;
    SCAllocatedSpectrum& operator=(const SCAllocatedSpectrum&) = delete;
    ~SCAllocatedSpectrum() override;

    unsigned size() const override;
    float& operator[](unsigned i) override;
    float operator[](unsigned i) const override;

  private:
    float* data_;    // size_ channel values
    unsigned size_;  // number of channels
};

#include "sc_api/sc_spectrum.h"

SCSpectrum::~SCSpectrum() = default;

SCSpectrum& SCSpectrum::operator+=(const SCSpectrum& other) {
    const unsigned n = size();
    for (unsigned i = 0; i < n; ++i) {
        (*this)[i] = (*this)[i] + other[i];
    }
    return *this;
}

void SCSpectrum::reset() {
    const unsigned n = size();
    for (unsigned i = 0; i < n; ++i) {
        (*this)[i] = 0.0f;
    }
}

SCAllocatedSpectrum::SCAllocatedSpectrum(unsigned size) : data_(new float[size]), size_(size) {}

SCAllocatedSpectrum::~SCAllocatedSpectrum() {
    delete[] data_;
}

unsigned SCAllocatedSpectrum::size() const {
    return size_;
}

float& SCAllocatedSpectrum::operator[](unsigned i) {
    return data_[i];
}

float SCAllocatedSpectrum::operator[](unsigned i) const {
    return data_[i];
}

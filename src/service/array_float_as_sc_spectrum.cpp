#include "service/array_float_as_sc_spectrum.h"

#include <new>

ArrayFloatAsSCSpectrum::ArrayFloatAsSCSpectrum(unsigned depth) {
    try {
        values_.resize(depth);
    } catch (const std::bad_alloc&) {
        values_.clear();
    }
}

ArrayFloatAsSCSpectrum::~ArrayFloatAsSCSpectrum() {
    values_.clear();
}

unsigned ArrayFloatAsSCSpectrum::size() const {
    return static_cast<unsigned>(values_.size());
}

float& ArrayFloatAsSCSpectrum::operator[](unsigned i) {
    return values_[i];
}

float ArrayFloatAsSCSpectrum::operator[](unsigned i) const {
    return values_[i];
}

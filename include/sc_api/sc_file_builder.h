#pragma once

#include "sc_api/export.h"
#include "sc_api/sc_error_code.h"

// Writer of a cube, fed one line (width spectra of depth values, pixel after pixel: value of
// pixel x, channel c at x * depth + c) at a time, top line first. A builder is open from its
// creation until close() or cancel().
class SC_API_EXPORT SCFileBuilder {
  public:
    SCFileBuilder() = default;
    SCFileBuilder(const SCFileBuilder&) {}
    SCFileBuilder& operator=(const SCFileBuilder&) { return *this; }
    virtual ~SCFileBuilder();

    virtual unsigned width() const = 0;
    virtual unsigned height() const = 0;
    virtual unsigned depth() const = 0;
    // Completes the cube: writes its header and closes its output.
    virtual SCErrorCode close() = 0;
    // Appends the next line.
    virtual SCErrorCode addSpectrumLine(const unsigned short* line) = 0;
    virtual bool isOpen() const = 0;
    // Abandons the cube: closes and removes what was written.
    virtual SCErrorCode cancel() = 0;
    // ROI image (sum of channels first .. first+count-1, scaled to 16 bits) over the lines
    // written so far; lines not yet written read 0. out holds width x height values.
    virtual SCErrorCode computeRoiImage(unsigned first, unsigned count, unsigned short* out) = 0;
};

// Deleter policy for SharedPtr<SCFileBuilder, SCDeleteFileBuilder>.
struct SC_API_EXPORT SCDeleteFileBuilder {
    static void free(SCFileBuilder* builder);
};

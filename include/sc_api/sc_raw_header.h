#pragma once

#include "sc_api/export.h"

// The description of a raw cube, as its ".rpl" text header states it: dimensions and the order
// of the 32-bit little-endian values in the ".raw" data file.
class SC_API_EXPORT SCRawHeader {
  public:
    enum StorageFormat : int {
        RECORD_BY_IMAGE = 0,   // channel image after channel image
        RECORD_BY_VECTOR = 1,  // spectrum after spectrum
    };

    // Leaves the fields unset; meant to be filled by SCRawIO::readSCRawHeader.
    SCRawHeader();
    SCRawHeader(unsigned width, unsigned height, unsigned depth, StorageFormat format);
    SCRawHeader(const SCRawHeader&) = default;
    SCRawHeader& operator=(const SCRawHeader&) = default;

    unsigned width() const { return width_; }
    unsigned& width() { return width_; }
    unsigned height() const { return height_; }
    unsigned& height() { return height_; }
    unsigned depth() const { return depth_; }
    unsigned& depth() { return depth_; }
    StorageFormat format() const { return format_; }
    StorageFormat& format() { return format_; }

  private:
    unsigned width_;        // pixels per row
    unsigned height_;       // rows
    unsigned depth_;        // channels per spectrum
    StorageFormat format_;  // order of the values in the data file
};

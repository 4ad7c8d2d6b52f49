#pragma once

#include <string>

#include "raw/raw_data_file.h"

// A raw cube stored channel image after channel image: value (x, y, c) at
// ((c * height + y) * width + x) * 4. Image runs are one contiguous read; a spectrum run
// costs one read per channel.
class SCRawImageFile : public RawDataFile {
  public:
    SCRawImageFile(const SCRawHeader& header, const std::string& dataPath);

    SCErrorCode readSpectrums(unsigned x, unsigned y, unsigned count, unsigned short* out) override;
    SCErrorCode readImages(unsigned first, unsigned count, unsigned short* out) override;
    SCErrorCode saveAs(const std::string& base, SCRawHeader::StorageFormat format) override;

  private:
    // Copies the channel images one after another into a new data file.
    SCErrorCode saveImageByImage(const std::string& base);
};

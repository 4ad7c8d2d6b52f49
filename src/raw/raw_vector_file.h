#pragma once

#include <string>

#include "raw/raw_data_file.h"

// A raw cube stored spectrum after spectrum: value (x, y, c) at ((y * width + x) * depth + c)
// * 4. Spectrum runs are one contiguous read; an image run costs one read per pixel.
class SCRawVectorFile : public RawDataFile {
  public:
    SCRawVectorFile(const SCRawHeader& header, const std::string& dataPath);

    SCErrorCode readSpectrums(unsigned x, unsigned y, unsigned count, unsigned short* out) override;
    SCErrorCode readImages(unsigned first, unsigned count, unsigned short* out) override;
    SCErrorCode saveAs(const std::string& base, SCRawHeader::StorageFormat format) override;
};

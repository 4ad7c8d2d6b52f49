#pragma once

#include <string>

#include "raw/raw_cube_builder.h"

// Writes a raw cube stored channel image after channel image. The data file is made full
// length (zero-filled) at creation; each line then writes one row segment per channel,
// skipping the segments that are all zero, so sparse data cost few writes.
class SCRawImageBuilder : public RawCubeBuilder {
  public:
    // The header's format is replaced by RECORD_BY_IMAGE. The builder is not open (and no file
    // is left behind) when the data file cannot be made full length.
    SCRawImageBuilder(const std::string& base, const SCRawHeader& header);

    // Per pixel, the sum of channels first .. first+count-1 over the lines written so far (0
    // for lines not yet written), keeping its low 16 bits; out holds width x height values.
    // SC_OUT_OF_RANGE when first + count > depth(), SC_FILE_ERROR when the builder is not
    // open.
    SCErrorCode computeRoiImage(unsigned first, unsigned count, unsigned short* out) override;

  private:
    SCErrorCode writeLine(unsigned y, const unsigned short* line) override;
};

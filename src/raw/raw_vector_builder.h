#pragma once

#include <string>

#include "raw/raw_cube_builder.h"

// Writes a raw cube stored spectrum after spectrum: each line is appended with one sequential
// write. computeRoiImage is not supported (SC_OUT_OF_RANGE).
class SCRawVectorBuilder : public RawCubeBuilder {
  public:
    // The header's format is replaced by RECORD_BY_VECTOR.
    SCRawVectorBuilder(const std::string& base, const SCRawHeader& header);

    SCErrorCode computeRoiImage(unsigned first, unsigned count, unsigned short* out) override;

  private:
    SCErrorCode writeLine(unsigned y, const unsigned short* line) override;
};

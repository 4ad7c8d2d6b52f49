#pragma once

#include "sc_api/sc_cube_loader.h"

// Opens raw cubes by the name of their data file: "<base>.raw" opens the raw cube `base`
// (header base + ".rpl"). Any other extension, including ".RAW", is declined.
class SCRawCubeLoader : public SCCubeLoader {
  public:
    SCFile* load(const std::string& path) override;
};

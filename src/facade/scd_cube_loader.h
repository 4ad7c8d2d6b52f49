#pragma once

#include <string>

#include "sc_api/sc_cube_loader.h"

// Opens SCD cubes of either kind by the name of their header file: "<base>.scdh" opens the cube
// `base` with SCD::openSCD. Any other extension (from the last "." of the whole path, so a dot
// in a directory name counts), including ".SCDH", is declined.
class SCDCubeLoader : public SCCubeLoader {
  public:
    ~SCDCubeLoader() override;

    SCFile* load(const std::string& path) override;
};

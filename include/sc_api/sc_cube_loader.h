#pragma once

#include <string>

#include "sc_api/export.h"

class SCFile;

// Opener of one cube format, chosen by the file name's extension.
class SC_API_EXPORT SCCubeLoader {
  public:
    SCCubeLoader() = default;
    SCCubeLoader(const SCCubeLoader&) {}
    SCCubeLoader& operator=(const SCCubeLoader&) { return *this; }
    virtual ~SCCubeLoader();

    // The cube named by `path`, owned by the caller; null when the path is not of this
    // loader's format or the cube cannot be opened.
    virtual SCFile* load(const std::string& path) = 0;
};

// Deleter policy for SharedPtr<SCCubeLoader, SCDeleteCubeLoader>.
struct SC_API_EXPORT SCDeleteCubeLoader {
    static void free(SCCubeLoader* loader);
};

#pragma once

#include "sc_api/export.h"
#include "sc_api/sc_cube_loader.h"

// The process-wide registry of cube loaders. load() asks every registered loader in
// registration order and returns the first cube opened. The SCD loader (".scdh" header files)
// and the raw loader (".raw" data files) are registered first; loaders added later are asked
// after them. The registry may be used from several threads at once.
class SC_API_EXPORT SCCubeLoaderManager : public SCCubeLoader {
  public:
    SCCubeLoaderManager() = default;
    SCCubeLoaderManager(const SCCubeLoaderManager&) : SCCubeLoader() {}
    SCCubeLoaderManager& operator=(const SCCubeLoaderManager&) { return *this; }
    ~SCCubeLoaderManager() override;

    // The first non-null result of the registered loaders, owned by the caller; null when every
    // loader declines. The reason a file is not opened is not reported.
    SCFile* load(const std::string& path) override = 0;
    // Appends `loader`, which the caller keeps alive while it is registered. Adding the
    // manager itself is ignored; a loader added twice is asked twice.
    virtual void addLoader(SCCubeLoader* loader) = 0;
    // Removes every registration of `loader`; does nothing when it is not registered.
    virtual void removeLoader(SCCubeLoader* loader) = 0;
};

// Static facade of the loader registry.
class SC_API_EXPORT SCIO {
  public:
    SCIO() = delete;

    // The one registry of the process, made on the first call and destroyed at exit.
    static SCCubeLoaderManager& getSCCubeLoader();
};

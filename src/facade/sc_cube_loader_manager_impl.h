#pragma once

#include <mutex>
#include <vector>

#include "sc_api/sc_io.h"
#include "sc_api/shared_ptr.h"

// The registry behind SCIO::getSCCubeLoader(): owns the two built-in loaders and keeps the
// list of registrations, guarded by a lock so that several threads may load and register.
class SCCubeLoaderManagerImpl : public SCCubeLoaderManager {
  public:
    // Registers the SCD loader, then the raw loader.
    SCCubeLoaderManagerImpl();
    // Forgets the registrations without destroying the loaders registered by callers.
    ~SCCubeLoaderManagerImpl() override;

    SCFile* load(const std::string& path) override;
    void addLoader(SCCubeLoader* loader) override;
    void removeLoader(SCCubeLoader* loader) override;

  private:
    SharedPtr<SCCubeLoader, SCDeleteCubeLoader> scdLoader_;  // built in, for ".scdh" files
    SharedPtr<SCCubeLoader, SCDeleteCubeLoader> rawLoader_;  // built in, for ".raw" files
    mutable std::mutex lock_;                                // guards registrations_
    std::vector<SCCubeLoader*> registrations_;               // not owned, in order
};

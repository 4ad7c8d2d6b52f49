#include "facade/sc_cube_loader_manager_impl.h"

#include <algorithm>

#include "sc_api/sc_raw_io.h"
#include "sc_api/scd.h"

SCCubeLoaderManager::~SCCubeLoaderManager() = default;

SCCubeLoaderManagerImpl::SCCubeLoaderManagerImpl()
    : scdLoader_(SCD::getSCDCubeLoader()), rawLoader_(SCRawIO::getSCRawCubeLoader()) {
    registrations_.push_back(scdLoader_.get());
    registrations_.push_back(rawLoader_.get());
}

SCCubeLoaderManagerImpl::~SCCubeLoaderManagerImpl() {
    std::lock_guard<std::mutex> guard(lock_);
    registrations_.clear();
}

SCFile* SCCubeLoaderManagerImpl::load(const std::string& path) {
    // Loaders are asked outside the lock (opening a cube may take a while); a loader removed
    // meanwhile may still be asked by a load that had already started.
    std::vector<SCCubeLoader*> loaders;
    {
        std::lock_guard<std::mutex> guard(lock_);
        loaders = registrations_;
    }
    for (SCCubeLoader* loader : loaders) {
        if (SCFile* cube = loader->load(path)) {
            return cube;
        }
    }
    return nullptr;
}

void SCCubeLoaderManagerImpl::addLoader(SCCubeLoader* loader) {
    if (loader == this || loader == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> guard(lock_);
    registrations_.push_back(loader);
}

void SCCubeLoaderManagerImpl::removeLoader(SCCubeLoader* loader) {
    std::lock_guard<std::mutex> guard(lock_);
    registrations_.erase(std::remove(registrations_.begin(), registrations_.end(), loader),
                         registrations_.end());
}

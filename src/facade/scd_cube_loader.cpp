#include "facade/scd_cube_loader.h"

#include <exception>
#include <memory>

#include "api/path_extension.h"
#include "sc_api/scd.h"

SCDCubeLoader::~SCDCubeLoader() = default;

SCFile* SCDCubeLoader::load(const std::string& path) {
    try {
        const std::string extension = SCD::HEADER_EXTENSION;
        if (pathExtension(path) != extension) {
            return nullptr;
        }
        return SCD::openSCD(path.substr(0, path.size() - extension.size()));
    } catch (const std::exception&) {
        return nullptr;
    }
}

SharedPtr<SCCubeLoader, SCDeleteCubeLoader> SCD::getSCDCubeLoader() {
    try {
        auto loader = std::make_unique<SCDCubeLoader>();
        SharedPtr<SCCubeLoader, SCDeleteCubeLoader> shared(loader.get());
        loader.release();
        return shared;
    } catch (const std::exception&) {
        return SharedPtr<SCCubeLoader, SCDeleteCubeLoader>();
    }
}

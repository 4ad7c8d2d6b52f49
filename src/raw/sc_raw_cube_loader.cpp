#include "raw/sc_raw_cube_loader.h"

#include "api/path_extension.h"
#include "raw/raw_cube_opener.h"
#include "sc_api/sc_raw_io.h"

SCFile* SCRawCubeLoader::load(const std::string& path) {
    if (pathExtension(path) != ".raw") {
        return nullptr;
    }
    return openRawCube(path.substr(0, path.size() - 4));
}

SharedPtr<SCCubeLoader, SCDeleteCubeLoader> SCRawIO::getSCRawCubeLoader() {
    return SharedPtr<SCCubeLoader, SCDeleteCubeLoader>(new SCRawCubeLoader);
}

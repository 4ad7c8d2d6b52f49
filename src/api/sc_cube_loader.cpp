#include "sc_api/sc_cube_loader.h"

SCCubeLoader::~SCCubeLoader() = default;

void SCDeleteCubeLoader::free(SCCubeLoader* loader) {
    delete loader;
}

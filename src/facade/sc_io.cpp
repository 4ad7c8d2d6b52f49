#include "sc_api/sc_io.h"

#include "facade/sc_cube_loader_manager_impl.h"

SCCubeLoaderManager& SCIO::getSCCubeLoader() {
    static SCCubeLoaderManagerImpl manager;
    return manager;
}

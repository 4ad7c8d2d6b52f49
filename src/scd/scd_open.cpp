#include <memory>
#include <new>

#include "sc_api/scd.h"
#include "scd/scd_multithreaded_file.h"
#include "scd/scd_probe.h"

SCFile* SCD::openSCD(std::string name) {
    if (probeHeaderType(name) != SIMPLE_HEADER) {
        // Fragmented cubes have no reader yet; every other type is no SCD cube.
        return nullptr;
    }
    std::unique_ptr<SCFile> cube(new (std::nothrow) SCDMultiThreadedFile(name));
    if (!cube || !cube->isOpen()) {
        return nullptr;
    }
    return cube.release();
}

#include "fragmented/scd_cube_opener.h"

#include <exception>
#include <memory>

#include "fragmented/fragmented_scd_file.h"
#include "sc_api/scd.h"
#include "scd/format/scd_probe.h"
#include "scd/reader/scd_multithreaded_file.h"

SCFile* openSCDCube(const std::string& name) {
    try {
        std::unique_ptr<SCFile> cube;
        switch (probeHeaderType(name)) {
            case SCD::SIMPLE_HEADER:
                cube = std::make_unique<SCDMultiThreadedFile>(name);
                break;
            case SCD::FRAGMENTED_HEADER:
                cube = std::make_unique<FragmentedSCDFile>(name);
                break;
            default:
                return nullptr;
        }
        return cube->isOpen() ? cube.release() : nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>

#include "io/file_stream.h"
#include "sc_api/fragmented_scd_header.h"
#include "sc_api/sc_error_code.h"
#include "sc_api/scd.h"
#include "scd/format/scd_probe.h"

namespace {

void removeFile(const std::string& path) {
    std::remove(path.c_str());
}

void removeSimpleCube(const std::string& name) {
    removeFile(name + SCD::HEADER_EXTENSION);
    removeFile(name + SCD::SPECTRUM_FILE_EXTENSION);
    removeFile(name + SCD::IMAGE_FILE_EXTENSION);
}

void removeFragmentedCube(const std::string& name) {
    const std::string headerPath = name + SCD::HEADER_EXTENSION;
    if (!isRegularFile(headerPath)) {
        return;
    }
    std::ifstream headerFile(headerPath, std::ios::binary);
    FragmentedSCDHeader header;
    if (!headerFile || header.read(headerFile) != SC_OK) {
        return;
    }
    for (std::uint64_t i = 1; i <= header.numAreas(); ++i) {
        SCD::removeSCD(name + "." + std::to_string(i));
    }
    headerFile.close();
    removeFile(headerPath);
}

}  // namespace

void SCD::removeSCD(const std::string& name) {
    try {
        switch (probeHeaderType(name)) {
            case SIMPLE_HEADER:
                removeSimpleCube(name);
                break;
            case FRAGMENTED_HEADER:
                removeFragmentedCube(name);
                break;
            default:
                break;
        }
    } catch (const std::exception&) {
        // Out of memory for a name or the map: whatever was not deleted yet stays.
    }
}

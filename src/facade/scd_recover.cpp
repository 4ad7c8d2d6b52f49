#include <fstream>
#include <new>
#include <sstream>
#include <utility>

#include "io/file_stream.h"
#include "sc_api/fragmented_scd_header.h"
#include "sc_api/scd.h"
#include "scd/format/scd_probe.h"
#include "scd/writer/build_journal.h"
#include "scd/writer/cube_recovery.h"

namespace {

// Gives the `lines` recovered lines of area `index` (`width` pixels wide, from its origin down)
// to that area in the map.
void mapRecoveredLines(FragmentedSCDHeader& header, unsigned index, unsigned width,
                       unsigned lines) {
    const auto [ox, oy] = header.getOrigin(index);
    for (std::uint64_t y = oy; y < std::uint64_t{oy} + lines && y < header.height(); ++y) {
        for (std::uint64_t x = ox; x < std::uint64_t{ox} + width && x < header.width(); ++x) {
            header.setAreaIndex(static_cast<unsigned>(x), static_cast<unsigned>(y), index);
        }
    }
}

// Recovers every area of the fragmented cube `name` that left a journal, then publishes the map
// with the recovered lines. The lines recovered, or a failure.
int recoverFragmentedCube(const std::string& name) {
    const std::string headerPath = name + SCD::HEADER_EXTENSION;
    FragmentedSCDHeader header;
    if (!isRegularFile(headerPath)) {
        return SC_FILE_ERROR;
    }
    {
        std::ifstream in(headerPath, std::ios::binary);
        if (!in || header.read(in) != SC_OK) {
            return SC_FORMAT_ERROR;
        }
    }
    int recovered = 0;
    for (unsigned index = 1; index <= header.numAreas(); ++index) {
        const std::string areaName = name + "." + std::to_string(index);
        if (!isRegularFile(BuildJournal::pathOf(areaName))) {
            continue;
        }
        unsigned areaWidth = 0;
        {
            const BuildJournal journal(areaName);
            if (!journal.isOpen()) {
                return SC_FILE_ERROR;
            }
            areaWidth = journal.contents().width;
        }
        const int lines = recoverSCDCube(areaName);
        if (lines < 0) {
            return lines;
        }
        mapRecoveredLines(header, index, areaWidth, static_cast<unsigned>(lines));
        recovered += lines;
    }
    std::ostringstream bytes(std::ios::binary);
    if (header.write(bytes) != SC_OK) {
        return SC_WRITE_ERROR;
    }
    const std::string content = std::move(bytes).str();
    const SCErrorCode published = publishFile(headerPath, content.data(), content.size());
    return published == SC_OK ? recovered : published;
}

}  // namespace

int SCD::recover(const std::string& name) {
    try {
        if (isRegularFile(BuildJournal::pathOf(name))) {
            return recoverSCDCube(name);
        }
        if (probeHeaderType(name) == SCD::FRAGMENTED_HEADER) {
            return recoverFragmentedCube(name);
        }
        return SC_FILE_ERROR;
    } catch (const std::bad_alloc&) {
        return SC_ALLOCATION_ERROR;
    }
}

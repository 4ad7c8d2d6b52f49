#include "scd/format/scd_probe.h"

#include <cstdint>
#include <fstream>

#include "io/file_stream.h"
#include "sc_api/scd.h"

namespace {

bool readField(std::istream& in, std::uint32_t& value) {
    unsigned char bytes[4];
    if (!in.read(reinterpret_cast<char*>(bytes), sizeof bytes)) {
        return false;
    }
    value = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
            std::uint32_t{bytes[3]} << 24;
    return true;
}

}  // namespace

unsigned int probeHeaderType(const std::string& name) {
    if (!isRegularFile(name + SCD::HEADER_EXTENSION)) {
        return SCD::NOT_A_HEADER;
    }
    std::ifstream header(name + SCD::HEADER_EXTENSION, std::ios::binary);
    std::uint32_t magic = 0;
    std::uint32_t version = 0;
    std::uint32_t type = 0;
    if (!header || !readField(header, magic) || magic != SCD::MAGIC_NUMBER ||
        !readField(header, version) || !readField(header, type)) {
        return SCD::NOT_A_HEADER;
    }
    return type;
}

#include "tools/scd_index_check.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <optional>

#include "sc_api/scd.h"
#include "tools/file_access.h"

namespace {

// Header fields before the index: magic, version, type, index width, W, H, D, A, factor.
constexpr int kFieldsBeforeIndex = 9;

std::optional<std::uint64_t> readLittleEndian(std::istream& in, unsigned bytes) {
    unsigned char buffer[8] = {};
    if (!in.read(reinterpret_cast<char*>(buffer), bytes)) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (unsigned i = 0; i < bytes; ++i) {
        value |= std::uint64_t{buffer[i]} << (8 * i);
    }
    return value;
}

// The largest of `count` offsets of `width` bytes each; nothing when the stream ends first.
std::optional<std::uint64_t> largestOffset(std::istream& in, std::uint64_t count, unsigned width) {
    std::uint64_t largest = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::optional<std::uint64_t> offset = readLittleEndian(in, width);
        if (!offset) {
            return std::nullopt;
        }
        largest = std::max(largest, *offset);
    }
    return largest;
}

}  // namespace

bool scdDataFilesComplete(const std::string& base) {
    std::ifstream header(base + SCD::HEADER_EXTENSION, std::ios::binary);
    std::uint32_t fields[kFieldsBeforeIndex] = {};
    for (std::uint32_t& field : fields) {
        const std::optional<std::uint64_t> value = readLittleEndian(header, 4);
        if (!value) {
            return false;
        }
        field = static_cast<std::uint32_t>(*value);
    }
    const unsigned offsetBytes = fields[3] == SCD::INDEX32 ? 4 : 8;
    const std::uint64_t spectra = std::uint64_t{fields[4]} * fields[7];
    const std::uint64_t images = fields[6];
    const std::optional<std::uint64_t> lastSpectrum = largestOffset(header, spectra, offsetBytes);
    const std::optional<std::uint64_t> lastImage = largestOffset(header, images, offsetBytes);
    const std::optional<std::uint64_t> spectrumBytes =
        regularFileSize(base + SCD::SPECTRUM_FILE_EXTENSION);
    const std::optional<std::uint64_t> imageBytes =
        regularFileSize(base + SCD::IMAGE_FILE_EXTENSION);
    if (!lastSpectrum || !lastImage || !spectrumBytes || !imageBytes) {
        return false;
    }
    // Every coded stream holds at least one byte, so the last one starts before the file ends.
    const bool spectraStored = spectra != 0 && fields[6] != 0;
    const bool imagesStored = images != 0 && std::uint64_t{fields[4]} * fields[5] != 0;
    return (spectraStored ? *lastSpectrum < *spectrumBytes : true) &&
           (imagesStored ? *lastImage < *imageBytes : true);
}

#include "sc_api/fragmented_scd_header.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <istream>
#include <memory>
#include <new>
#include <ostream>
#include <vector>

#include "sc_api/sc_error_code.h"
#include "sc_api/scd.h"

struct FragmentedSCDHeader::Record {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t depth = 0;
    std::uint32_t numAreas = 0;
    float factor = 0.0f;
    std::vector<std::uint32_t> grid;  // area index of every pixel, row-major
    std::vector<std::pair<unsigned int, unsigned int>> origins;  // by area index; 0 is (0, 0)
};

namespace {

std::uint32_t littleEndian32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool readUint32(std::istream& in, std::uint32_t& value) {
    unsigned char bytes[4];
    if (!in.read(reinterpret_cast<char*>(bytes), 4)) {
        return false;
    }
    value = littleEndian32(bytes);
    return true;
}

bool writeUint32(std::ostream& out, std::uint32_t value) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    out.write(reinterpret_cast<const char*>(bytes), 4);
    return !out.bad();
}

// Reads `count` little-endian values into `values`, in chunks, so that memory grows only with
// the data actually present in the stream.
bool readUint32s(std::istream& in, std::uint64_t count, std::vector<std::uint32_t>& values) {
    constexpr std::uint64_t kChunk = 1 << 16;
    values.clear();
    std::vector<unsigned char> bytes(std::min(count, kChunk) * 4);
    for (std::uint64_t done = 0; done < count;) {
        const std::uint64_t n = std::min(kChunk, count - done);
        if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(n * 4))) {
            return false;
        }
        for (std::uint64_t i = 0; i < n; ++i) {
            const unsigned char* b = bytes.data() + 4 * i;
            values.push_back(
                static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
                static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
        }
        done += n;
    }
    return true;
}

// Bytes left between the stream's position and its end, or UINT64_MAX when the stream cannot
// tell (sizes are then limited by what the reads deliver).
std::uint64_t remainingBytes(std::istream& in) {
    const std::istream::pos_type here = in.tellg();
    if (here == std::istream::pos_type(-1) || !in.seekg(0, std::ios::end)) {
        in.clear();
        return UINT64_MAX;
    }
    const std::istream::pos_type end = in.tellg();
    in.seekg(here);
    if (end == std::istream::pos_type(-1) || end < here) {
        return UINT64_MAX;
    }
    return static_cast<std::uint64_t>(end - here);
}

}  // namespace

FragmentedSCDHeader::FragmentedSCDHeader() : record_(new Record) {}

FragmentedSCDHeader::FragmentedSCDHeader(unsigned width, unsigned height, unsigned depth,
                                         float factor) {
    // Built aside so that nothing leaks when the grid cannot be allocated.
    auto record = std::make_unique<Record>();
    record->width = width;
    record->height = height;
    record->depth = depth;
    record->factor = factor;
    record->grid.assign(static_cast<std::size_t>(width) * height, 0);
    record->origins.emplace_back(0, 0);
    record_ = record.release();
}

FragmentedSCDHeader::~FragmentedSCDHeader() {
    delete record_;
}

int FragmentedSCDHeader::read(std::istream& in) {
    Record& r = *record_;
    std::uint32_t magic = 0;
    std::uint32_t version = 0;
    std::uint32_t type = 0;
    std::uint32_t factorBits = 0;
    if (!readUint32(in, magic) || magic != SCD::MAGIC_NUMBER || !readUint32(in, version) ||
        version != VERSION || !readUint32(in, type) || type != SCD::FRAGMENTED_HEADER ||
        !readUint32(in, r.numAreas) || !readUint32(in, r.width) || !readUint32(in, r.height) ||
        !readUint32(in, r.depth) || !readUint32(in, factorBits)) {
        return SC_FORMAT_ERROR;
    }
    std::memcpy(&r.factor, &factorBits, sizeof r.factor);

    const std::uint64_t pixels = static_cast<std::uint64_t>(r.width) * r.height;
    const std::uint64_t origins = static_cast<std::uint64_t>(r.numAreas) + 1;
    const std::uint64_t left = remainingBytes(in);
    if (pixels > left / 4 || origins > (left - pixels * 4) / 8) {
        return SC_FORMAT_ERROR;
    }
    try {
        std::vector<std::uint32_t> values;
        if (!readUint32s(in, pixels, r.grid) || !readUint32s(in, origins * 2, values)) {
            return SC_FORMAT_ERROR;
        }
        r.origins.clear();
        r.origins.reserve(origins);
        for (std::uint64_t i = 0; i < origins; ++i) {
            r.origins.emplace_back(values[2 * i], values[2 * i + 1]);
        }
    } catch (const std::bad_alloc&) {
        return SC_FORMAT_ERROR;
    }
    return SC_OK;
}

int FragmentedSCDHeader::write(std::ostream& out) const {
    const Record& r = *record_;
    std::uint32_t factorBits = 0;
    std::memcpy(&factorBits, &r.factor, sizeof factorBits);
    const std::uint32_t fields[] = {SCD::MAGIC_NUMBER, VERSION,   SCD::FRAGMENTED_HEADER,
                                    r.numAreas,        r.width,   r.height,
                                    r.depth,           factorBits};
    for (std::uint32_t field : fields) {
        if (!writeUint32(out, field)) {
            return SC_WRITE_ERROR;
        }
    }
    for (std::uint32_t entry : r.grid) {
        if (!writeUint32(out, entry)) {
            return SC_WRITE_ERROR;
        }
    }
    for (std::uint32_t i = 0; i <= r.numAreas && i < r.origins.size(); ++i) {
        if (!writeUint32(out, r.origins[i].first) || !writeUint32(out, r.origins[i].second)) {
            return SC_WRITE_ERROR;
        }
    }
    return SC_OK;
}

unsigned FragmentedSCDHeader::width() const {
    return record_->width;
}
unsigned FragmentedSCDHeader::height() const {
    return record_->height;
}
unsigned FragmentedSCDHeader::depth() const {
    return record_->depth;
}
float FragmentedSCDHeader::factor() const {
    return record_->factor;
}
unsigned FragmentedSCDHeader::numAreas() const {
    return record_->numAreas;
}

unsigned FragmentedSCDHeader::getAreaIndex(unsigned x, unsigned y) const {
    return record_->grid[static_cast<std::size_t>(y) * record_->width + x];
}

void FragmentedSCDHeader::setAreaIndex(unsigned x, unsigned y, unsigned index) {
    record_->grid[static_cast<std::size_t>(y) * record_->width + x] = index;
}

unsigned FragmentedSCDHeader::addArea(unsigned x, unsigned y) {
    record_->origins.emplace_back(x, y);
    ++record_->numAreas;
    return static_cast<unsigned>(record_->origins.size() - 1);
}

const std::pair<unsigned int, unsigned int>& FragmentedSCDHeader::getOrigin(unsigned index) const {
    return record_->origins[index];
}

#include "raw/foreign_raw_reader.h"

#include <sys/stat.h>

#include <bit>
#include <cerrno>
#include <cstring>

#include "api/sample_buffer.h"

ForeignRawReader::ForeignRawReader(const std::string& dataPath, const SCForeignRawLayout& layout)
    : dataPath_(dataPath), layout_(layout) {}

SCStatus ForeignRawReader::open() {
    struct stat status {};
    if (::stat(dataPath_.c_str(), &status) != 0) {
        return {errno == EACCES ? SCProblem::PERMISSION_DENIED : SCProblem::MISSING_FILE,
                dataPath_};
    }
    const auto needed = checkedProduct(std::uint64_t{layout_.width} * layout_.height, layout_.depth,
                                       layout_.dataLength);
    const std::uint64_t size = static_cast<std::uint64_t>(status.st_size);
    if (!S_ISREG(status.st_mode) || !needed || size < layout_.offset ||
        size - layout_.offset < *needed) {
        return {SCProblem::DAMAGED_DATA, dataPath_,
                "holds " + std::to_string(size) + " bytes, the header promises " +
                    (needed ? std::to_string(*needed) : std::string("more")) + " after offset " +
                    std::to_string(layout_.offset)};
    }
    data_.open(dataPath_, std::ios::binary);
    if (!data_.is_open()) {
        return {errno == EACCES ? SCProblem::PERMISSION_DENIED : SCProblem::DAMAGED_DATA,
                dataPath_};
    }
    return {};
}

double ForeignRawReader::decode(const unsigned char* bytes) const {
    const unsigned length = layout_.dataLength;
    std::uint64_t bits = 0;
    for (unsigned i = 0; i < length; ++i) {
        const unsigned significance = layout_.bigEndian ? length - 1 - i : i;
        bits |= std::uint64_t{bytes[i]} << (8 * significance);
    }
    switch (layout_.dataType) {
        case SCForeignRawLayout::UNSIGNED:
            return static_cast<double>(bits);
        case SCForeignRawLayout::SIGNED: {
            const unsigned unused = 64 - 8 * length;
            return static_cast<double>(static_cast<std::int64_t>(bits << unused) >> unused);
        }
        case SCForeignRawLayout::FLOAT:
            return length == 4
                       ? static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bits)))
                       : std::bit_cast<double>(bits);
    }
    return 0.0;
}

bool ForeignRawReader::readAt(std::uint64_t position, std::size_t byteCount) {
    bytes_.resize(byteCount);
    data_.clear();
    data_.seekg(static_cast<std::streamoff>(layout_.offset + position));
    data_.read(reinterpret_cast<char*>(bytes_.data()), static_cast<std::streamsize>(byteCount));
    return static_cast<std::size_t>(data_.gcount()) == byteCount;
}

bool ForeignRawReader::readLine(unsigned y, std::vector<double>& line) {
    const std::uint64_t w = layout_.width;
    const std::uint64_t h = layout_.height;
    const std::uint64_t d = layout_.depth;
    const unsigned length = layout_.dataLength;
    line.resize(static_cast<std::size_t>(w * d));
    if (layout_.format == SCRawHeader::RECORD_BY_VECTOR) {
        if (!readAt(y * w * d * length, static_cast<std::size_t>(w * d * length))) {
            return false;
        }
        for (std::size_t i = 0; i < line.size(); ++i) {
            line[i] = decode(bytes_.data() + i * length);
        }
        return true;
    }
    for (std::uint64_t c = 0; c < d; ++c) {
        if (!readAt((c * h + y) * w * length, static_cast<std::size_t>(w * length))) {
            return false;
        }
        for (std::uint64_t x = 0; x < w; ++x) {
            line[static_cast<std::size_t>(x * d + c)] = decode(bytes_.data() + x * length);
        }
    }
    return true;
}

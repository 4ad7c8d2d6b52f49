#include "scd/writer/raw_item_reader.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "items are read into memory exactly as the file stores them");

bool RawItemReader::open(const std::string& path) {
    return stream_.open(path.c_str(), GENERIC_READ);
}

int RawItemReader::read(unsigned short* buffer, unsigned count) {
    if (!stream_.isOpen()) {
        return -1;
    }
    if (itemSize_ == 0) {
        return static_cast<int>(std::min<unsigned>(count, INT_MAX));
    }
    const std::uint64_t itemBytes = std::uint64_t{itemSize_} * sizeof(unsigned short);
    const std::uint64_t wanted = std::min<std::uint64_t>(count, INT_MAX) * itemBytes;
    // The stream moves at most INT_MAX bytes per call; a whole number of values per chunk keeps
    // the values aligned in the buffer.
    constexpr std::uint64_t kChunkBytes = (std::uint64_t{INT_MAX} / 2) * 2;
    auto* bytes = reinterpret_cast<unsigned char*>(buffer);
    std::uint64_t done = 0;
    while (done < wanted) {
        const auto chunk = static_cast<unsigned>(std::min(wanted - done, kChunkBytes));
        const int got = stream_.read(bytes + done, chunk);
        if (got < 0) {
            return -1;
        }
        done += static_cast<unsigned>(got);
        if (static_cast<unsigned>(got) < chunk) {
            break;
        }
    }
    return static_cast<int>(done / itemBytes);
}

bool RawItemReader::rewind() {
    return stream_.seekTo(0);
}

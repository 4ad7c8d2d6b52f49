#include "scd/format/scd_header.h"

#include <algorithm>
#include <bit>
#include <istream>
#include <limits>
#include <optional>
#include <ostream>

#include "sc_api/sc_error_code.h"
#include "sc_api/scd.h"

namespace {

constexpr std::size_t kChunkBytes = 16 * 1024;   // index and code bytes move in chunks this big
constexpr std::uint64_t kMinCodeEntryBytes = 7;  // an entry with an empty code

std::uint64_t littleEndian(const unsigned char* bytes, unsigned size) {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i) {
        value |= std::uint64_t{bytes[i]} << (8 * i);
    }
    return value;
}

void putLittleEndian(std::uint64_t value, unsigned size, unsigned char* bytes) {
    for (unsigned i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// The bytes from the stream's position to its end, when the stream can tell; the position is
// left where it was.
std::optional<std::uint64_t> remainingLength(std::istream& in) {
    std::istream::pos_type here = in.tellg();
    if (here == std::istream::pos_type(-1)) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> remaining;
    if (in.seekg(0, std::ios::end)) {
        std::istream::pos_type end = in.tellg();
        if (end != std::istream::pos_type(-1) && end >= here) {
            remaining = static_cast<std::uint64_t>(end - here);
        }
    }
    in.clear();
    in.seekg(here);
    return in ? remaining : std::nullopt;
}

// Reads the fields of a header file, each exactly, refusing counts that the rest of the stream
// cannot hold before taking memory for them.
class HeaderInput {
  public:
    explicit HeaderInput(std::istream& in) : in_(in), remaining_(remainingLength(in)) {}

    bool readBytes(unsigned char* bytes, std::size_t size) {
        in_.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(size));
        if (static_cast<std::size_t>(in_.gcount()) != size) {
            return false;
        }
        if (remaining_) {
            *remaining_ -= std::min<std::uint64_t>(*remaining_, size);
        }
        return true;
    }

    template <class Integer>
    bool read(Integer& value) {
        unsigned char bytes[sizeof(Integer)];
        if (!readBytes(bytes, sizeof(Integer))) {
            return false;
        }
        value = static_cast<Integer>(littleEndian(bytes, sizeof(Integer)));
        return true;
    }

    bool read(float& value) {
        std::uint32_t bits = 0;
        if (!read(bits)) {
            return false;
        }
        value = std::bit_cast<float>(bits);
        return true;
    }

    // Whether the rest of the stream may hold size more bytes (always, when its length is not
    // known).
    bool mayHold(std::uint64_t size) const { return !remaining_ || size <= *remaining_; }

    // Reads count offsets of entrySize (4 or 8) bytes each into offsets.
    bool readOffsets(std::uint64_t count, unsigned entrySize, std::vector<std::uint64_t>& offsets) {
        offsets.clear();
        if (count > std::numeric_limits<std::uint64_t>::max() / entrySize ||
            !mayHold(count * entrySize) || count > offsets.max_size()) {
            return false;
        }
        if (remaining_) {
            offsets.reserve(static_cast<std::size_t>(count));
        }
        unsigned char chunk[kChunkBytes];
        while (offsets.size() < count) {
            std::size_t entries =
                std::min<std::uint64_t>(count - offsets.size(), kChunkBytes / entrySize);
            if (!readBytes(chunk, entries * entrySize)) {
                return false;
            }
            for (std::size_t i = 0; i < entries; ++i) {
                offsets.push_back(littleEndian(chunk + i * entrySize, entrySize));
            }
        }
        return true;
    }

    // Reads the bytes of a code of bitCount bits.
    bool readCode(std::uint32_t bitCount, BitVector& code) {
        std::size_t size = BitVector::bytesFor(bitCount);
        if (!mayHold(size)) {
            return false;
        }
        if (remaining_) {
            code = BitVector(bitCount);
            if (!readBytes(code.data(), size)) {
                return false;
            }
        } else {
            std::vector<unsigned char> bytes;
            while (bytes.size() < size) {
                std::size_t start = bytes.size();
                bytes.resize(start + std::min(size - start, kChunkBytes));
                if (!readBytes(bytes.data() + start, bytes.size() - start)) {
                    return false;
                }
            }
            code = BitVector(bitCount);
            std::copy(bytes.begin(), bytes.end(), code.data());
        }
        code.clearUnusedBits();
        return true;
    }

  private:
    std::istream& in_;
    std::optional<std::uint64_t> remaining_;  // bytes left in the stream, when it can tell
};

// Writes the fields of a header file, failing at the first write that fails.
class HeaderOutput {
  public:
    explicit HeaderOutput(std::ostream& out) : out_(out) {}

    bool writeBytes(const unsigned char* bytes, std::size_t size) {
        if (size != 0) {
            out_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
        }
        return !out_.fail();
    }

    template <class Integer>
    bool write(Integer value) {
        unsigned char bytes[sizeof(Integer)];
        putLittleEndian(value, sizeof(Integer), bytes);
        return writeBytes(bytes, sizeof(Integer));
    }

    bool write(float value) { return write(std::bit_cast<std::uint32_t>(value)); }

    bool writeOffsets(const std::vector<std::uint64_t>& offsets, unsigned entrySize) {
        unsigned char chunk[kChunkBytes];
        std::size_t perChunk = kChunkBytes / entrySize;
        for (std::size_t first = 0; first < offsets.size(); first += perChunk) {
            std::size_t entries = std::min(offsets.size() - first, perChunk);
            for (std::size_t i = 0; i < entries; ++i) {
                putLittleEndian(offsets[first + i], entrySize, chunk + i * entrySize);
            }
            if (!writeBytes(chunk, entries * entrySize)) {
                return false;
            }
        }
        return true;
    }

  private:
    std::ostream& out_;
};

bool needs64Bits(const std::vector<std::uint64_t>& offsets) {
    return !offsets.empty() && offsets.back() > std::numeric_limits<std::uint32_t>::max();
}

}  // namespace

SCDHeader::SCDHeader(unsigned int width, unsigned int height, unsigned int depth,
                     unsigned int acquiredLines, float factor)
    : width_(width),
      height_(height),
      depth_(depth),
      acquiredLines_(acquiredLines),
      factor_(factor) {}

unsigned int SCDHeader::indexWidth() const {
    return needs64Bits(spectrumOffsets_) || needs64Bits(imageOffsets_) ? SCD::INDEX64
                                                                       : SCD::INDEX32;
}

int SCDHeader::read(std::istream& in) {
    HeaderInput input(in);
    std::uint32_t magic = 0;
    std::uint32_t version = 0;
    std::uint32_t headerType = 0;
    std::uint32_t indexWidth = 0;
    if (!input.read(magic) || magic != SCD::MAGIC_NUMBER || !input.read(version) ||
        !input.read(headerType) || headerType != SCD::SIMPLE_HEADER || !input.read(indexWidth)) {
        return SC_FORMAT_ERROR;
    }
    unsigned entrySize = indexWidth == SCD::INDEX32 ? 4 : 8;
    if (!input.read(width_) || !input.read(height_) || !input.read(depth_) ||
        !input.read(acquiredLines_) || !input.read(factor_) ||
        !input.readOffsets(std::uint64_t{width_} * acquiredLines_, entrySize, spectrumOffsets_) ||
        !input.readOffsets(depth_, entrySize, imageOffsets_)) {
        return SC_FORMAT_ERROR;
    }
    std::uint32_t entries = 0;
    if (!input.read(entries) || !input.mayHold(entries * kMinCodeEntryBytes)) {
        return SC_FORMAT_ERROR;
    }
    codes_.clear();
    for (std::uint32_t i = 0; i < entries; ++i) {
        SCSymbol symbol;
        std::uint32_t bitCount = 0;
        BitVector code;
        if (!input.read(symbol.first) || !input.read(symbol.second) || !input.read(bitCount) ||
            !input.readCode(bitCount, code)) {
            return SC_FORMAT_ERROR;
        }
        codes_[symbol] = std::move(code);
    }
    return SC_OK;
}

int SCDHeader::write(std::ostream& out) const {
    if (spectrumOffsets_.size() != std::uint64_t{width_} * acquiredLines_ ||
        imageOffsets_.size() != depth_ ||
        codes_.size() > std::numeric_limits<std::uint32_t>::max()) {
        return SC_FORMAT_ERROR;
    }
    unsigned int indexBits = indexWidth();
    unsigned entrySize = indexBits == SCD::INDEX64 ? 8 : 4;
    HeaderOutput output(out);
    bool written = output.write(SCD::MAGIC_NUMBER) && output.write(SCD::VERSION) &&
                   output.write(SCD::SIMPLE_HEADER) && output.write(indexBits) &&
                   output.write(width_) && output.write(height_) && output.write(depth_) &&
                   output.write(acquiredLines_) && output.write(factor_) &&
                   output.writeOffsets(spectrumOffsets_, entrySize) &&
                   output.writeOffsets(imageOffsets_, entrySize) &&
                   output.write(static_cast<std::uint32_t>(codes_.size()));
    for (auto entry = codes_.begin(); written && entry != codes_.end(); ++entry) {
        const auto& [symbol, code] = *entry;
        written = output.write(symbol.first) && output.write(symbol.second) &&
                  output.write(code.bitCount()) && output.writeBytes(code.data(), code.byteCount());
    }
    return written ? SC_OK : SC_FORMAT_ERROR;
}

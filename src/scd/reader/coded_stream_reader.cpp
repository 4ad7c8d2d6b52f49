#include "scd/reader/coded_stream_reader.h"

#include <algorithm>
#include <climits>
#include <new>

#include "codec/run_length.h"

namespace {

std::uint32_t littleEndian32(const unsigned char* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

bool readExactly(const SystemInputFileStream& stream, std::uint64_t position, unsigned char* to,
                 std::uint64_t byteCount) {
    for (std::uint64_t done = 0; done < byteCount;) {
        const auto n = static_cast<unsigned>(std::min<std::uint64_t>(byteCount - done, INT_MAX));
        if (stream.readAt(position + done, to + done, n) != static_cast<int>(n)) {
            return false;
        }
        done += n;
    }
    return true;
}

}  // namespace

bool CodedStreamReader::ensureCapacity(std::uint64_t byteCount) {
    if (byteCount > buffer_.max_size()) {
        return false;
    }
    try {
        if (buffer_.size() < byteCount) {
            buffer_.resize(static_cast<std::size_t>(byteCount));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

StreamOutcome CodedStreamReader::load(const CodedStreamFile& file, const StreamPlace& place) {
    const std::uint64_t offset = place.offset;
    bitCount_ = 0;
    if (buffer_.capacity() > kKeptBytes) {
        std::vector<unsigned char>().swap(buffer_);
    }
    if (file.stream == nullptr || file.length < kLengthFieldBytes ||
        offset > file.length - kLengthFieldBytes) {
        return StreamOutcome::kOutside;
    }
    const std::uint64_t available = file.length - offset;
    const std::uint64_t firstRead = std::clamp<std::uint64_t>(
        place.expectedBytes != 0 ? place.expectedBytes : file.typicalStreamBytes, kLengthFieldBytes,
        available);
    if (!ensureCapacity(firstRead + HuffmanDecodingTable::kBytePadding) ||
        !readExactly(*file.stream, offset, buffer_.data(), firstRead)) {
        return StreamOutcome::kReadFailed;
    }
    const std::uint32_t bitCount = littleEndian32(buffer_.data());
    const std::uint64_t streamBytes = kLengthFieldBytes + BitVector::bytesFor(bitCount);
    if (streamBytes > available) {
        return StreamOutcome::kOutside;
    }
    if (streamBytes > firstRead &&
        (!ensureCapacity(streamBytes + HuffmanDecodingTable::kBytePadding) ||
         !readExactly(*file.stream, offset + firstRead, buffer_.data() + firstRead,
                      streamBytes - firstRead))) {
        return StreamOutcome::kReadFailed;
    }
    bitCount_ = bitCount;
    return StreamOutcome::kDecoded;
}

StreamOutcome CodedStreamReader::decodeInto(const CodedStreamFile& file, const StreamPlace& place,
                                            unsigned short* destination, std::size_t count) {
    const StreamOutcome outcome = load(file, place);
    if (outcome != StreamOutcome::kDecoded) {
        return outcome;
    }
    const bool whole = file.table != nullptr && decodeStreamBytes(bits(), bitCount_, *file.table,
                                                                  destination, count, scratch_);
    if (scratch_.capacity() > kKeptBytes / sizeof(SCSymbol)) {
        std::vector<SCSymbol>().swap(scratch_);
    }
    return whole ? StreamOutcome::kDecoded : StreamOutcome::kDamaged;
}

StreamOutcome CodedStreamReader::addInto(const CodedStreamFile& file, const StreamPlace& place,
                                         std::uint64_t* sums, std::size_t count) {
    const StreamOutcome outcome = load(file, place);
    if (outcome != StreamOutcome::kDecoded) {
        return outcome;
    }
    const bool whole =
        file.table != nullptr && addStreamValues(bits(), bitCount_, *file.table, sums, count);
    return whole ? StreamOutcome::kDecoded : StreamOutcome::kDamaged;
}

CodedStreamReader& CodedStreamReader::ofThisThread() {
    thread_local CodedStreamReader reader;
    return reader;
}

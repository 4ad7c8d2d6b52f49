#include "scd/writer/temporary_image_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <optional>

#include "api/sample_buffer.h"
#include "api/scaled_count.h"
#include "scd/writer/channel_rows.h"

static_assert(std::endian::native == std::endian::little,
              "rows are written and read exactly as memory holds them");

namespace {

// Values moved per read of the ROI computation.
constexpr std::uint64_t kRoiChunkValues = 1u << 20;

}  // namespace

TemporaryImageFile::TemporaryImageFile(const std::string& path, unsigned width, unsigned height,
                                       unsigned depth, float factor)
    : path_(path), width_(width), height_(height), depth_(depth), factor_(factor) {
    if (!openEmptyOutput(stream_, path)) {
        return;
    }
    const std::optional<std::uint64_t> values = checkedProduct(width, height, depth);
    const std::optional<std::uint64_t> bytes =
        values ? checkedProduct(*values, sizeof(unsigned short)) : std::nullopt;
    const unsigned char zero = 0;
    bool sized = bytes.has_value();
    if (sized && *bytes != 0) {
        sized = stream_.seekTo(*bytes - 1) && stream_.write(&zero, 1) == 1 && stream_.seekTo(0);
    }
    if (!sized) {
        stream_.close();
        std::remove(path.c_str());
    }
}

void TemporaryImageFile::close() {
    if (stream_.isOpen()) {
        stream_.close();
    }
}

SCErrorCode TemporaryImageFile::appendLine(const unsigned short* line) {
    return appendLines(line, 1);
}

SCErrorCode TemporaryImageFile::appendLines(const unsigned short* lines, unsigned count) {
    unsigned firstLine = 0;
    const SCErrorCode claimed = claimLines(count, firstLine);
    const std::size_t segmentValues = std::size_t{count} * width_;
    if (claimed != SC_OK || segmentValues == 0 || depth_ == 0) {
        return claimed;
    }
    rows_.resize(segmentValues * depth_);
    transposeToChannelRows(lines, segmentValues, depth_, 0, depth_, rows_.data());
    return writeChannelRows(rows_.data(), firstLine, count, 0, depth_);
}

SCErrorCode TemporaryImageFile::claimLines(unsigned count, unsigned& firstLine) {
    if (!stream_.isOpen()) {
        return SC_FILE_ERROR;
    }
    if (count > height_ - lines_) {
        return SC_OUT_OF_RANGE;
    }
    firstLine = lines_;
    lines_ += count;
    return SC_OK;
}

SCErrorCode TemporaryImageFile::writeChannelRows(const unsigned short* rows, unsigned firstLine,
                                                 unsigned count, unsigned firstChannel,
                                                 unsigned endChannel) {
    // One segment per channel: its rows of the lines, which lie back to back in the file.
    const std::size_t segmentValues = std::size_t{count} * width_;
    const std::uint64_t segmentBytes = segmentValues * sizeof(unsigned short);
    if (segmentBytes > INT_MAX) {
        return SC_WRITE_ERROR;
    }
    SCErrorCode result = SC_OK;
    for (unsigned c = firstChannel; c < endChannel; ++c) {
        const unsigned short* segment = rows + c * segmentValues;
        if (std::all_of(segment, segment + segmentValues,
                        [](unsigned short v) { return v == 0; })) {
            continue;
        }
        const std::uint64_t offset = ((std::uint64_t{c} * height_ + firstLine) * width_) * 2;
        if (!stream_.writeAt(segment, segmentBytes, offset)) {
            result = SC_WRITE_ERROR;
        }
    }
    return result;
}

SCErrorCode TemporaryImageFile::computeRoiImage(unsigned first, unsigned count,
                                                unsigned short* out) const {
    return computeRoiImage(first, count, out, nullptr, 0);
}

SCErrorCode TemporaryImageFile::computeRoiImage(unsigned first, unsigned count, unsigned short* out,
                                                const unsigned short* pending,
                                                unsigned pendingCount) const {
    if (std::uint64_t{first} + count > depth_) {
        return SC_OUT_OF_RANGE;
    }
    if (!stream_.isOpen() || !isRegularFile(path_)) {
        return SC_FILE_ERROR;
    }
    const std::uint64_t pixels = std::uint64_t{width_} * height_;
    auto sums = allocateZeroedSamples<std::uint64_t>(pixels);
    const std::uint64_t chunkValues = std::clamp<std::uint64_t>(pixels, 1, kRoiChunkValues);
    auto chunk = allocateSamples<unsigned short>(chunkValues);
    if (!sums || !chunk) {
        return SC_ALLOCATION_ERROR;
    }
    SystemInputFileStream input;
    if (!input.open(path_.c_str(), GENERIC_READ) ||
        !input.seekTo(std::uint64_t{first} * pixels * 2)) {
        return SC_FILE_ERROR;
    }
    for (unsigned c = 0; c < count; ++c) {
        for (std::uint64_t done = 0; done < pixels;) {
            const std::uint64_t n = std::min(pixels - done, chunkValues);
            const auto byteCount = static_cast<unsigned>(n * 2);
            if (input.read(chunk.get(), byteCount) != static_cast<int>(byteCount)) {
                return SC_FORMAT_ERROR;
            }
            for (std::uint64_t i = 0; i < n; ++i) {
                sums[done + i] += chunk[i];
            }
            done += n;
        }
    }
    // The pending lines lie in the file as zeros: their values add from memory.
    pendingCount = std::min(pendingCount, height_ - lines_);
    for (std::uint64_t i = 0; i < std::uint64_t{pendingCount} * width_; ++i) {
        const unsigned short* spectrum = pending + i * depth_ + first;
        std::uint64_t& sum = sums[std::uint64_t{lines_} * width_ + i];
        for (unsigned c = 0; c < count; ++c) {
            sum += spectrum[c];
        }
    }
    for (std::uint64_t p = 0; p < pixels; ++p) {
        out[p] = scaleToLow16(sums[p], factor_);
    }
    return SC_OK;
}

bool openEmptyOutput(SystemOutputFileStream& stream, const std::string& path) {
    // Removed and created anew rather than cut to length 0: a file system may flush a file that
    // was cut and written again as soon as it is closed, which would make every close wait
    // for the disk.
    std::remove(path.c_str());
    if (!stream.open(path.c_str(), GENERIC_WRITE)) {
        return false;
    }
    if (stream.size() != 0 && !stream.truncate()) {
        stream.close();
        return false;
    }
    return true;
}

#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "api/sample_buffer.h"
#include "io/file_stream.h"

// Transfers of raw cube values: 32-bit unsigned little-endian integers, moved through a bounded
// byte buffer so that runs of any length (beyond 4 GiB too) are read and written in large
// chunks without a buffer the size of the run.

constexpr unsigned kBytesPerValue = 4;

// out[i] = the low 16 bits of the i-th of `count` values stored at `bytes`.
inline void narrowToLow16(const unsigned char* bytes, std::size_t count, unsigned short* out) {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Each 32-bit lane is made the sign extension of its low half, which packing with signed
    // saturation then keeps exactly.
    static_assert(std::endian::native == std::endian::little, "values are loaded as LE lanes");
    for (; i + 8 <= count; i += 8) {
        const auto* from = reinterpret_cast<const __m128i*>(bytes + i * kBytesPerValue);
        const __m128i low = _mm_srai_epi32(_mm_slli_epi32(_mm_loadu_si128(from), 16), 16);
        const __m128i high = _mm_srai_epi32(_mm_slli_epi32(_mm_loadu_si128(from + 1), 16), 16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(low, high));
    }
#endif
    for (; i < count; ++i) {
        out[i] = static_cast<unsigned short>(bytes[i * kBytesPerValue] |
                                             bytes[i * kBytesPerValue + 1] << 8);
    }
}

namespace raw_data_io_detail {

// Values moved per stream call.
constexpr std::uint64_t kChunkValues = 256 * 1024;

inline std::unique_ptr<unsigned char[]> chunkBuffer(std::uint64_t count) {
    return allocateSamples<unsigned char>(std::clamp<std::uint64_t>(count, 1, kChunkValues) *
                                          kBytesPerValue);
}

}  // namespace raw_data_io_detail

// Reads runs of values, reusing one chunk buffer sized for the longest run announced, so that
// many short runs (one per pixel or per channel) cost no allocation each.
class ValueReader {
  public:
    explicit ValueReader(std::uint64_t longestRun)
        : chunkValues_(std::clamp<std::uint64_t>(longestRun, 1, raw_data_io_detail::kChunkValues)),
          bytes_(allocateSamples<unsigned char>(chunkValues_ * kBytesPerValue)) {}

    // Reads `count` values at the current position of `in` and hands each to visit(k, value)
    // in order, k counting from 0. False when the buffer could not be allocated, or the stream
    // fails or ends before the last value (the values before it have been visited).
    template <class Visit>
    bool read(InputFileStream& in, std::uint64_t count, Visit visit) {
        if (!bytes_) {
            return false;
        }
        for (std::uint64_t done = 0; done < count;) {
            const auto n = static_cast<unsigned>(std::min(count - done, chunkValues_));
            const unsigned byteCount = n * kBytesPerValue;
            if (in.read(bytes_.get(), byteCount) != static_cast<int>(byteCount)) {
                return false;
            }
            for (unsigned i = 0; i < n; ++i) {
                const unsigned char* b = bytes_.get() + i * kBytesPerValue;
                visit(done + i, std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 |
                                    std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24);
            }
            done += n;
        }
        return true;
    }

    // As read(), keeping the low 16 bits of each value, into out[0], out[stride],
    // out[2 * stride] ...
    bool readLow16(InputFileStream& in, std::uint64_t count, unsigned short* out,
                   std::uint64_t stride = 1) {
        if (stride == 1 && bytes_) {
            for (std::uint64_t done = 0; done < count;) {
                const auto n = static_cast<unsigned>(std::min(count - done, chunkValues_));
                const unsigned byteCount = n * kBytesPerValue;
                if (in.read(bytes_.get(), byteCount) != static_cast<int>(byteCount)) {
                    return false;
                }
                narrowToLow16(bytes_.get(), n, out + done);
                done += n;
            }
            return true;
        }
        return read(in, count, [out, stride](std::uint64_t k, std::uint32_t value) {
            out[k * stride] = static_cast<unsigned short>(value);
        });
    }

  private:
    std::uint64_t chunkValues_;               // values per stream call
    std::unique_ptr<unsigned char[]> bytes_;  // chunkValues_ values
};

// One run read with ValueReader::read.
template <class Visit>
bool readValues(InputFileStream& in, std::uint64_t count, Visit visit) {
    return ValueReader(count).read(in, count, visit);
}

// One run read with ValueReader::readLow16.
inline bool readLow16(InputFileStream& in, std::uint64_t count, unsigned short* out,
                      std::uint64_t stride = 1) {
    return ValueReader(count).readLow16(in, count, out, stride);
}

// Writes the `count` values valueAt(0), valueAt(1) ... at the current position of `out`.
// False when a write fails.
template <class ValueAt>
bool writeValues(OutputFileStream& out, std::uint64_t count, ValueAt valueAt) {
    using raw_data_io_detail::kChunkValues;
    auto bytes = raw_data_io_detail::chunkBuffer(count);
    if (!bytes) {
        return false;
    }
    for (std::uint64_t done = 0; done < count;) {
        const auto n = static_cast<unsigned>(std::min(count - done, kChunkValues));
        for (unsigned i = 0; i < n; ++i) {
            const std::uint32_t value = valueAt(done + i);
            unsigned char* b = bytes.get() + i * kBytesPerValue;
            b[0] = static_cast<unsigned char>(value);
            b[1] = static_cast<unsigned char>(value >> 8);
            b[2] = static_cast<unsigned char>(value >> 16);
            b[3] = static_cast<unsigned char>(value >> 24);
        }
        if (out.write(bytes.get(), n * kBytesPerValue) != static_cast<int>(n * kBytesPerValue)) {
            return false;
        }
        done += n;
    }
    return true;
}

// Makes the file of `out` at least `length` bytes long, zero-filled beyond its old end, by
// writing one zero byte at position length - 1; the position is left unchanged.
inline bool extendTo(OutputFileStream& out, std::uint64_t length) {
    const std::uint64_t size = out.size();
    const std::uint64_t position = out.tell();
    if (size == FileStream::INVALID_POSITION || position == FileStream::INVALID_POSITION) {
        return false;
    }
    if (size >= length) {
        return true;
    }
    const unsigned char zero = 0;
    return out.seekTo(length - 1) && out.write(&zero, 1) == 1 && out.seekTo(position);
}

// Byte length of a raw data file of width x height x depth values, or nothing when it does
// not fit in 64 bits.
inline std::optional<std::uint64_t> rawDataLength(unsigned width, unsigned height, unsigned depth) {
    const std::optional<std::uint64_t> values = checkedProduct(width, height, depth);
    return values ? checkedProduct(*values, kBytesPerValue) : std::nullopt;
}

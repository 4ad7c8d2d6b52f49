#include "scd/writer/channel_rows.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Pixels and channels of the square tiles the spectra are moved in: a tile's spectra pieces
// and channel row pieces both stay in the first-level cache, whatever the (often power-of-two)
// strides between them.
constexpr unsigned kTile = 64;

// Moves the tile of `pixelCount` spectra from pixel p0 and `channelCount` channels from c0 one
// value at a time.
void transposeScalar(const unsigned short* spectra, std::size_t pixels, unsigned depth,
                     unsigned firstChannel, std::size_t p0, unsigned c0, unsigned pixelCount,
                     unsigned channelCount, unsigned short* rows) {
    for (unsigned c = 0; c < channelCount; ++c) {
        const unsigned short* from = spectra + p0 * depth + c0 + c;
        unsigned short* to = rows + (c0 - firstChannel + c) * pixels + p0;
        for (unsigned p = 0; p < pixelCount; ++p) {
            to[p] = from[std::size_t{p} * depth];
        }
    }
}

#if defined(__SSE2__)
// Moves 8 spectra pieces of 8 channels (src, rows srcStride values apart) into 8 channel row
// pieces of 8 pixels (dst, rows dstStride values apart).
void transpose8x8(const unsigned short* src, std::size_t srcStride, unsigned short* dst,
                  std::size_t dstStride) {
    __m128i r[8];
    for (int i = 0; i < 8; ++i) {
        r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i * srcStride));
    }
    // Pairs of 16-bit values, then of 32-bit pairs, then of 64-bit quadruples.
    __m128i t[8];
    for (int i = 0; i < 4; ++i) {
        t[2 * i] = _mm_unpacklo_epi16(r[2 * i], r[2 * i + 1]);
        t[2 * i + 1] = _mm_unpackhi_epi16(r[2 * i], r[2 * i + 1]);
    }
    __m128i u[8];
    for (int half = 0; half < 2; ++half) {
        const int b = 4 * half;
        u[b + 0] = _mm_unpacklo_epi32(t[b + 0], t[b + 2]);
        u[b + 1] = _mm_unpackhi_epi32(t[b + 0], t[b + 2]);
        u[b + 2] = _mm_unpacklo_epi32(t[b + 1], t[b + 3]);
        u[b + 3] = _mm_unpackhi_epi32(t[b + 1], t[b + 3]);
    }
    for (int i = 0; i < 4; ++i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + (2 * i) * dstStride),
                         _mm_unpacklo_epi64(u[i], u[i + 4]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + (2 * i + 1) * dstStride),
                         _mm_unpackhi_epi64(u[i], u[i + 4]));
    }
}
#endif

}  // namespace

void transposeToChannelRows(const unsigned short* spectra, std::size_t pixels, unsigned depth,
                            unsigned firstChannel, unsigned endChannel, unsigned short* rows) {
    for (std::size_t p0 = 0; p0 < pixels; p0 += kTile) {
        const auto tilePixels = static_cast<unsigned>(std::min<std::size_t>(kTile, pixels - p0));
        for (unsigned c0 = firstChannel; c0 < endChannel; c0 += kTile) {
            const unsigned tileChannels = std::min(kTile, endChannel - c0);
#if defined(__SSE2__)
            // Whole 8 x 8 squares by vector shuffles, the edges of the tile value by value.
            const unsigned squarePixels = tilePixels / 8 * 8;
            const unsigned squareChannels = tileChannels / 8 * 8;
            for (unsigned p = 0; p < squarePixels; p += 8) {
                for (unsigned c = 0; c < squareChannels; c += 8) {
                    transpose8x8(spectra + (p0 + p) * depth + c0 + c, depth,
                                 rows + (c0 - firstChannel + c) * pixels + p0 + p, pixels);
                }
            }
            transposeScalar(spectra, pixels, depth, firstChannel, p0, c0 + squareChannels,
                            squarePixels, tileChannels - squareChannels, rows);
            transposeScalar(spectra, pixels, depth, firstChannel, p0 + squarePixels, c0,
                            tilePixels - squarePixels, tileChannels, rows);
#else
            transposeScalar(spectra, pixels, depth, firstChannel, p0, c0, tilePixels, tileChannels,
                            rows);
#endif
        }
    }
}

void transposeLineToChannelRows(const unsigned short* spectra, std::size_t pixels, unsigned depth,
                                unsigned firstChannel, unsigned endChannel, unsigned short* rows) {
    const unsigned channels = endChannel - firstChannel;
    std::size_t p0 = 0;
#if defined(__SSE2__)
    const unsigned squareChannels = channels / 8 * 8;
    for (; p0 + 8 <= pixels; p0 += 8) {
        const unsigned short* from = spectra + p0 * depth + firstChannel;
        for (unsigned c = 0; c < squareChannels; c += 8) {
            transpose8x8(from + c, depth, rows + c * pixels + p0, pixels);
        }
        transposeScalar(spectra, pixels, depth, firstChannel, p0, firstChannel + squareChannels, 8,
                        channels - squareChannels, rows);
    }
#endif
    transposeScalar(spectra, pixels, depth, firstChannel, p0, firstChannel,
                    static_cast<unsigned>(pixels - p0), channels, rows);
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "codec/scd_symbol.h"
#include "scd/format/scd_header.h"

namespace test_support {

// A whole simple SCD cube in memory: its dimensions, factor and the counts of its stored lines.
struct ReferenceCube {
    unsigned width = 0;
    unsigned height = 0;
    unsigned depth = 0;
    unsigned acquiredLines = 0;  // lines 0 .. acquiredLines-1 are stored
    float factor = 1.0f;
    std::vector<unsigned short> values;  // stored lines, (x, y, c) at (y * width + x) * depth + c

    // The count of pixel (x, y) in channel c; 0 in lines that are not stored.
    unsigned short count(unsigned x, unsigned y, unsigned c) const;
    // depth counts of pixel (x, y).
    std::vector<unsigned short> spectrum(unsigned x, unsigned y) const;
    // width x height counts of channel c, row-major over all lines.
    std::vector<unsigned short> image(unsigned c) const;
};

using CountFunction = std::function<unsigned short(unsigned x, unsigned y, unsigned c)>;

// A cube whose stored counts are counts(x, y, c).
ReferenceCube makeReferenceCube(unsigned width, unsigned height, unsigned depth,
                                unsigned acquiredLines, const CountFunction& counts,
                                float factor = 1.0f);

// Where one coded stream lies in its data file.
struct StreamPlace {
    std::uint64_t offset = 0;  // position of the stream's 4-byte bit count
    std::uint64_t size = 0;    // bytes, the bit count included
};

// Where the writer put every stream, so that tests can damage a chosen one.
struct ReferenceSCDLayout {
    std::vector<StreamPlace> spectra;  // pixel (x, y) of the stored lines at y * width + x
    std::vector<StreamPlace> images;   // channel c at c
};

enum class StreamKind { kSpectrum = 0, kImage = 1 };

// Departures from the layout that every writer of the format produces.
struct ReferenceSCDOptions {
    // Where the first stream of each data file starts, after a hole (sparse beyond 4 GiB).
    std::uint64_t spectrumFileStart = 0;
    std::uint64_t imageFileStart = 0;
    // Sees the run-length symbols of every stream (indexed as in ReferenceSCDLayout) before
    // they are counted and coded.
    std::function<void(StreamKind kind, std::size_t index, std::vector<SCSymbol>& symbols)>
        alterSymbols;
};

// Writes the cube as base + ".scdh", ".scds" and ".scdi", one plain step after the other: cuts
// every stream (each pixel's spectrum of the stored lines, each channel's image over all lines)
// into runs of at most 255 equal values, builds the codes from the counts of all symbols, writes
// the streams back to back in index order, then the header. Nullopt when the values do not
// number width x acquiredLines x depth or a file cannot be written.
std::optional<ReferenceSCDLayout> writeReferenceSCD(const std::string& base,
                                                    const ReferenceCube& cube,
                                                    const ReferenceSCDOptions& options = {});

// Overwrites bytes of a file in place from `offset` on.
void overwriteFileBytes(const std::string& path, std::uint64_t offset,
                        const std::vector<unsigned char>& bytes);

// The 4 little-endian bytes of a 32-bit value, for patching bit counts and index entries.
std::vector<unsigned char> littleEndian32(std::uint32_t value);

}  // namespace test_support

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scd/scd_header.h"
#include "scd/scd_symbol.h"

namespace test_support {

// A whole simple SCD cube in memory: its dimensions, factor and the counts of its stored lines.
struct ReferenceCube {
    unsigned width = 0;
    unsigned height = 0;
    unsigned depth = 0;
    unsigned acquiredLines = 0;  // lines 0 .. acquiredLines-1 are stored
    float factor = 1.0f;
    // width x acquiredLines x depth counts in vector order: (x, y, c) at (y * width + x) * depth
    // + c.
    std::vector<unsigned short> values;

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

enum class StreamKind { kSpectrum, kImage };

// Departures from the plain layout, for tests of damaged or unusual cubes. The defaults give the
// layout that every writer of the format produces.
struct ReferenceSCDOptions {
    // Where the first stream of each data file starts; the bytes before it are left a hole, so
    // a start beyond 4 GiB makes a sparse file.
    std::uint64_t spectrumFileStart = 0;
    std::uint64_t imageFileStart = 0;
    // Called with the run-length symbols of every stream (index as in ReferenceSCDLayout)
    // before anything is counted: whatever it leaves is counted, coded and written, so a stream
    // may be made to expand to more or fewer values than it should.
    std::function<void(StreamKind kind, std::size_t index, std::vector<SCSymbol>& symbols)>
        alterSymbols;
};

// Writes the cube as base + ".scdh", base + ".scds" and base + ".scdi", one plain step after
// the other: cuts every stream into runs of at most 255 equal values (the spectrum of each pixel
// of the stored lines; the image of each channel over all lines, lines not stored as zeros),
// counts the symbols of all streams, builds the Huffman tree and codes from the counts, writes
// each stream (bit count L, then ceil(L / 8) bytes holding the codes bit 0 first) back to back
// in index order, and writes the header with its offsets. Nullopt when the cube's values do not
// number width x acquiredLines x depth, a stream would exceed 2^32 - 1 bits, or a file cannot
// be written.
std::optional<ReferenceSCDLayout> writeReferenceSCD(const std::string& base,
                                                    const ReferenceCube& cube,
                                                    const ReferenceSCDOptions& options = {});

// Overwrites bytes of a file in place from `offset` on (extending it when they reach past its
// end).
void overwriteFileBytes(const std::string& path, std::uint64_t offset,
                        const std::vector<unsigned char>& bytes);

// The 4 little-endian bytes of a 32-bit value, for patching bit counts and index entries.
std::vector<unsigned char> littleEndian32(std::uint32_t value);

// Reads base + ".scdh", lets `change` alter the record, and writes it back. False when the
// header cannot be read or written.
bool rewriteSCDHeader(const std::string& base, const std::function<void(SCDHeader&)>& change);

}  // namespace test_support

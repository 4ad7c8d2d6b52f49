#include "support/reference_scd_writer.h"

#include <fstream>
#include <limits>

#include "sc_api/sc_error_code.h"
#include "sc_api/scd.h"
#include "scd/huffman_coding.h"

namespace test_support {

namespace {

using Symbols = std::vector<SCSymbol>;

// Runs of at most 255 equal values, first to last.
Symbols runsOf(const std::vector<unsigned short>& values) {
    Symbols runs;
    std::size_t i = 0;
    while (i < values.size()) {
        std::size_t length = 1;
        while (i + length < values.size() && length < 255 && values[i + length] == values[i]) {
            ++length;
        }
        runs.emplace_back(static_cast<unsigned char>(length), values[i]);
        i += length;
    }
    return runs;
}

// The codes of the symbols one after another, the first code at bit 0.
std::optional<BitVector> encode(const Symbols& symbols, const SCCodeTable& codes) {
    std::uint64_t bitCount = 0;
    for (const SCSymbol& symbol : symbols) {
        bitCount += codes.at(symbol).bitCount();
    }
    if (bitCount > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    BitVector stream(static_cast<std::uint32_t>(bitCount));
    std::uint32_t position = 0;
    for (const SCSymbol& symbol : symbols) {
        const BitVector& code = codes.at(symbol);
        for (std::uint32_t i = 0; i < code.bitCount(); ++i) {
            stream.setBit(position++, code.bit(i));
        }
    }
    return stream;
}

void writeLittleEndian(std::ostream& out, std::uint64_t value, unsigned size) {
    for (unsigned i = 0; i < size; ++i) {
        out.put(static_cast<char>(value >> (8 * i)));
    }
}

// Writes the streams back to back from `start` on and returns where each one went.
std::optional<std::vector<StreamPlace>> writeDataFile(const std::string& path,
                                                      const std::vector<Symbols>& streams,
                                                      const SCCodeTable& codes,
                                                      std::uint64_t start) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.seekp(static_cast<std::streamoff>(start));
    std::vector<StreamPlace> places;
    std::uint64_t offset = start;
    for (const Symbols& symbols : streams) {
        std::optional<BitVector> bits = encode(symbols, codes);
        if (!bits) {
            return std::nullopt;
        }
        writeLittleEndian(out, bits->bitCount(), 4);
        out.write(reinterpret_cast<const char*>(bits->data()), bits->byteCount());
        places.push_back({offset, 4 + std::uint64_t{bits->byteCount()}});
        offset += places.back().size;
    }
    out.close();
    if (!out) {
        return std::nullopt;
    }
    return places;
}

std::vector<std::uint64_t> offsetsOf(const std::vector<StreamPlace>& places) {
    std::vector<std::uint64_t> offsets;
    for (const StreamPlace& place : places) {
        offsets.push_back(place.offset);
    }
    return offsets;
}

}  // namespace

unsigned short ReferenceCube::count(unsigned x, unsigned y, unsigned c) const {
    if (y >= acquiredLines) {
        return 0;
    }
    return values[(std::size_t{y} * width + x) * depth + c];
}

std::vector<unsigned short> ReferenceCube::spectrum(unsigned x, unsigned y) const {
    std::vector<unsigned short> counts(depth);
    for (unsigned c = 0; c < depth; ++c) {
        counts[c] = count(x, y, c);
    }
    return counts;
}

std::vector<unsigned short> ReferenceCube::image(unsigned c) const {
    std::vector<unsigned short> counts;
    counts.reserve(std::size_t{width} * height);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            counts.push_back(count(x, y, c));
        }
    }
    return counts;
}

ReferenceCube makeReferenceCube(unsigned width, unsigned height, unsigned depth,
                                unsigned acquiredLines, const CountFunction& counts, float factor) {
    ReferenceCube cube{width, height, depth, acquiredLines, factor, {}};
    cube.values.reserve(std::size_t{width} * acquiredLines * depth);
    for (unsigned y = 0; y < acquiredLines; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            for (unsigned c = 0; c < depth; ++c) {
                cube.values.push_back(counts(x, y, c));
            }
        }
    }
    return cube;
}

std::optional<ReferenceSCDLayout> writeReferenceSCD(const std::string& base,
                                                    const ReferenceCube& cube,
                                                    const ReferenceSCDOptions& options) {
    const std::size_t pixels = std::size_t{cube.width} * cube.acquiredLines;
    if (cube.values.size() != pixels * cube.depth) {
        return std::nullopt;
    }
    std::vector<Symbols> spectra;
    for (std::size_t p = 0; p < pixels; ++p) {
        spectra.push_back(runsOf(cube.spectrum(p % cube.width, p / cube.width)));
    }
    std::vector<Symbols> images;
    for (unsigned c = 0; c < cube.depth; ++c) {
        images.push_back(runsOf(cube.image(c)));
    }
    if (options.alterSymbols) {
        for (std::size_t i = 0; i < spectra.size(); ++i) {
            options.alterSymbols(StreamKind::kSpectrum, i, spectra[i]);
        }
        for (std::size_t i = 0; i < images.size(); ++i) {
            options.alterSymbols(StreamKind::kImage, i, images[i]);
        }
    }

    SCSymbolCounts counts;
    for (const auto* streams : {&spectra, &images}) {
        for (const Symbols& symbols : *streams) {
            for (const SCSymbol& symbol : symbols) {
                ++counts[symbol];
            }
        }
    }
    SCDHeader header(cube.width, cube.height, cube.depth, cube.acquiredLines, cube.factor);
    computeHuffmanCodes(buildHuffmanTree(counts), header.codes());

    ReferenceSCDLayout layout;
    auto spectrumPlaces = writeDataFile(base + SCD::SPECTRUM_FILE_EXTENSION, spectra,
                                        header.codes(), options.spectrumFileStart);
    auto imagePlaces = writeDataFile(base + SCD::IMAGE_FILE_EXTENSION, images, header.codes(),
                                     options.imageFileStart);
    if (!spectrumPlaces || !imagePlaces) {
        return std::nullopt;
    }
    layout.spectra = std::move(*spectrumPlaces);
    layout.images = std::move(*imagePlaces);
    header.spectrumOffsets() = offsetsOf(layout.spectra);
    header.imageOffsets() = offsetsOf(layout.images);

    std::ofstream headerFile(base + SCD::HEADER_EXTENSION, std::ios::binary | std::ios::trunc);
    if (header.write(headerFile) != SC_OK) {
        return std::nullopt;
    }
    headerFile.close();
    if (!headerFile) {
        return std::nullopt;
    }
    return layout;
}

void overwriteFileBytes(const std::string& path, std::uint64_t offset,
                        const std::vector<unsigned char>& bytes) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(offset));
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> littleEndian32(std::uint32_t value) {
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

bool rewriteSCDHeader(const std::string& base, const std::function<void(SCDHeader&)>& change) {
    SCDHeader header;
    {
        std::ifstream in(base + SCD::HEADER_EXTENSION, std::ios::binary);
        if (header.read(in) != SC_OK) {
            return false;
        }
    }
    change(header);
    std::ofstream out(base + SCD::HEADER_EXTENSION, std::ios::binary | std::ios::trunc);
    return header.write(out) == SC_OK && out.flush();
}

}  // namespace test_support

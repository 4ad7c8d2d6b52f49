#include "support/reference_scd_writer.h"

#include <fstream>

#include "codec/huffman_coding.h"
#include "sc_api/sc_error_code.h"
#include "sc_api/scd.h"

namespace test_support {

namespace {

using Symbols = std::vector<SCSymbol>;

// Runs of at most 255 equal values, first to last.
Symbols runsOf(const std::vector<unsigned short>& values) {
    Symbols runs;
    for (std::size_t i = 0, length = 0; i < values.size(); i += length) {
        length = 1;
        while (i + length < values.size() && length < 255 && values[i + length] == values[i]) {
            ++length;
        }
        runs.emplace_back(static_cast<unsigned char>(length), values[i]);
    }
    return runs;
}

// Writes the streams back to back from `start` on, each one its bit count and then its codes;
// notes where each stream went in `places` and `offsets`.
bool writeDataFile(const std::string& path, const std::vector<Symbols>& streams,
                   const SCCodeTable& codes, std::uint64_t start, std::vector<StreamPlace>& places,
                   std::vector<std::uint64_t>& offsets) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.seekp(static_cast<std::streamoff>(start));
    for (const Symbols& symbols : streams) {
        std::vector<unsigned char> bytes;  // the codes one after another from bit 0 on
        std::uint32_t bitCount = 0;
        for (const SCSymbol& symbol : symbols) {
            const BitVector& code = codes.at(symbol);
            for (std::uint32_t i = 0; i < code.bitCount(); ++i, ++bitCount) {
                bytes.resize(1 + bitCount / 8);
                bytes.back() |= static_cast<unsigned char>(code.bit(i) << bitCount % 8);
            }
        }
        out.write(reinterpret_cast<const char*>(littleEndian32(bitCount).data()), 4);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        places.push_back({start, 4 + bytes.size()});
        offsets.push_back(start);
        start += places.back().size;
    }
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

unsigned short ReferenceCube::count(unsigned x, unsigned y, unsigned c) const {
    return y < acquiredLines ? values[(std::size_t{y} * width + x) * depth + c] : 0;
}

std::vector<unsigned short> ReferenceCube::spectrum(unsigned x, unsigned y) const {
    std::vector<unsigned short> counts;
    for (unsigned c = 0; c < depth; ++c) {
        counts.push_back(count(x, y, c));
    }
    return counts;
}

std::vector<unsigned short> ReferenceCube::image(unsigned c) const {
    std::vector<unsigned short> counts;
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
    std::vector<Symbols> streams[2];  // by StreamKind
    for (std::size_t p = 0; p < pixels; ++p) {
        streams[0].push_back(runsOf(cube.spectrum(p % cube.width, p / cube.width)));
    }
    for (unsigned c = 0; c < cube.depth; ++c) {
        streams[1].push_back(runsOf(cube.image(c)));
    }
    SCSymbolCounts counts;
    for (int kind = 0; kind < 2; ++kind) {
        for (std::size_t i = 0; i < streams[kind].size(); ++i) {
            if (options.alterSymbols) {
                options.alterSymbols(static_cast<StreamKind>(kind), i, streams[kind][i]);
            }
            for (const SCSymbol& symbol : streams[kind][i]) {
                ++counts[symbol];
            }
        }
    }
    SCDHeader header(cube.width, cube.height, cube.depth, cube.acquiredLines, cube.factor);
    computeHuffmanCodes(buildHuffmanTree(counts), header.codes());

    ReferenceSCDLayout layout;
    if (!writeDataFile(base + SCD::SPECTRUM_FILE_EXTENSION, streams[0], header.codes(),
                       options.spectrumFileStart, layout.spectra, header.spectrumOffsets()) ||
        !writeDataFile(base + SCD::IMAGE_FILE_EXTENSION, streams[1], header.codes(),
                       options.imageFileStart, layout.images, header.imageOffsets())) {
        return std::nullopt;
    }
    std::ofstream headerFile(base + SCD::HEADER_EXTENSION, std::ios::binary | std::ios::trunc);
    if (header.write(headerFile) != SC_OK || !headerFile.flush()) {
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

}  // namespace test_support

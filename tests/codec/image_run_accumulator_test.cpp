// Counting the run-length symbols of channel images while the cube's lines arrive.
#include "codec/image_run_accumulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "codec/run_length.h"
#include "codec/symbol_count_table.h"
#include "support/codec_bits.h"
#include "support/scd_writers.h"

namespace {

using namespace test_support;
using Values = std::vector<unsigned short>;

// The symbols counted while lines arrive are exactly those that coding each finished channel
// image emits: runs go on across lines, stop at 255, and lines never added count as zeros.
TEST(ImageRunAccumulator, CountsTheSymbolsThatCodingTheImagesEmits) {
    for (CubeKind kind : {CubeKind::kRandomRuns, CubeKind::kSparse, CubeKind::kDense}) {
        for (unsigned acquired : {0u, 4u, 9u}) {
            const ReferenceCube cube = randomCube(kind, 40, 9, 13, acquired, 100 + acquired);
            SymbolCountTable table;
            ImageRunAccumulator accumulator(40, 9, 13, table);
            for (unsigned y = 0; y < acquired; ++y) {
                accumulator.addLine(cube.values.data() + y * 40 * 13);
            }
            accumulator.finish();
            std::vector<Values> images;
            for (unsigned c = 0; c < 13; ++c) {
                images.push_back(cube.image(c));
            }
            EXPECT_EQ(table.counts(), countSymbols(images)) << acquired << " lines";
        }
    }
}

// Lines given as channel rows, in blocks of any size and counted in channel ranges of any size,
// give the same counts as the same lines fed one by one; so do runs of the same value that go
// on across many lines and past 255. The symbols kept block by block, followed by those that
// finish each channel, are exactly the symbols of each finished channel image.
TEST(ImageRunAccumulator, ChannelRowsCountAsLinesWhateverTheBlocksAndRanges) {
    struct Shape {
        unsigned width, height, depth, block, ranges;
    };
    for (const Shape shape :
         {Shape{40, 9, 13, 4, 3}, Shape{1, 300, 1, 7, 1}, Shape{3, 97, 5, 32, 5},
          Shape{17, 20, 1, 20, 1}, Shape{256, 3, 9, 2, 4}}) {
        for (CubeKind kind : {CubeKind::kRandomRuns, CubeKind::kSparse, CubeKind::kDense}) {
            const unsigned acquired = shape.height - shape.height / 3;
            const ReferenceCube cube =
                randomCube(kind, shape.width, shape.height, shape.depth, acquired, shape.block);
            const std::size_t lineValues = std::size_t{shape.width} * shape.depth;
            SymbolCountTable byLine;
            ImageRunAccumulator lineAccumulator(shape.width, shape.height, shape.depth, byLine);
            SymbolCountTable byRows;
            ImageRunAccumulator rowAccumulator(shape.width, shape.height, shape.depth, byRows);
            std::vector<PackedSymbols> kept(shape.depth);
            for (unsigned y = 0; y < acquired; y += shape.block) {
                const unsigned lines = std::min(shape.block, acquired - y);
                std::vector<unsigned short> rows(lines * lineValues);
                for (unsigned c = 0; c < shape.depth; ++c) {
                    for (std::size_t p = 0; p < std::size_t{lines} * shape.width; ++p) {
                        rows[c * lines * shape.width + p] =
                            cube.values[y * lineValues + p * shape.depth + c];
                    }
                }
                const unsigned step = (shape.depth + shape.ranges - 1) / shape.ranges;
                for (unsigned first = 0; first < shape.depth; first += step) {
                    SymbolTally tally;
                    const unsigned end = std::min(shape.depth, first + step);
                    PackedSymbols symbols;
                    std::vector<std::size_t> ends(end - first);
                    rowAccumulator.addChannelRows(rows.data() + first * lines * shape.width, lines,
                                                  first, end, tally, &symbols, ends.data());
                    byRows.add(tally);
                    for (unsigned c = first; c < end; ++c) {
                        const std::size_t begin = c == first ? 0 : ends[c - first - 1];
                        kept[c].insert(kept[c].end(), symbols.begin() + begin,
                                       symbols.begin() + ends[c - first]);
                    }
                }
                rowAccumulator.commitLines(lines);
                for (unsigned line = y; line < y + lines; ++line) {
                    lineAccumulator.addLine(cube.values.data() + line * lineValues);
                }
            }
            for (unsigned c = 0; c < shape.depth; ++c) {
                rowAccumulator.finishChannel(
                    rowAccumulator.openRuns()[c], rowAccumulator.missingZeros(),
                    [&](const SCSymbol& symbol, std::uint32_t times) {
                        kept[c].insert(kept[c].end(), times, packSymbol(symbol));
                    });
                std::vector<SCSymbol> expected;
                const Values image = cube.image(c);
                runLengthEncode(image.data(), image.size(), expected);
                std::vector<SCSymbol> got;
                for (const PackedSymbol packed : kept[c]) {
                    got.push_back(unpackSymbol(packed));
                }
                EXPECT_EQ(got, expected) << "channel " << c;
            }
            lineAccumulator.finish();
            rowAccumulator.finish();
            EXPECT_EQ(byRows.counts(), byLine.counts())
                << shape.width << "x" << shape.height << "x" << shape.depth;
        }
    }
}

}  // namespace

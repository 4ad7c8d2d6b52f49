// Counting the run-length symbols of channel images while the cube's lines arrive.
#include "codec/image_run_accumulator.h"

#include <gtest/gtest.h>

#include <vector>

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

}  // namespace

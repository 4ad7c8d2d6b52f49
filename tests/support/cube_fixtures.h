#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "sc_api/sc_cube_probe.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

namespace test_support {

// Small cubes of every form, written into a directory for the tests of the tools that work on
// named cubes. Each holds smallCubeValue counts (raw, compressed) or the twoAreasSideBySide
// model (fragmented).
constexpr unsigned kSmallWidth = 6;
constexpr unsigned kSmallHeight = 4;
constexpr unsigned kSmallDepth = 9;

// A count that differs for every (x, y, c) of a small cube and whose sums over the channels fit
// in 16 bits.
inline std::uint32_t smallCubeValue(unsigned x, unsigned y, unsigned c) {
    return 1 + x + 10 * y + 100 * c;
}

// Writes the cube `base` in `form`: raw forms as another program would, SCD with RawToSCD from
// a raw cube written beside it and removed, fragmented without the library's fragmented code.
// Returns base + the extension a user would name it by (".rpl" or ".scdh").
std::string writeSmallCube(const std::string& base, SCCubeForm form);

// Whether every spectrum of the cubes `a` and `b` (named as SCCubeProbe::open takes them) is
// the same, value for value.
::testing::AssertionResult sameSpectra(const std::string& a, const std::string& b);

}  // namespace test_support

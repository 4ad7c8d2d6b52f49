#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sc_api/sc_file.h"
#include "support/reference_scd_writer.h"

namespace test_support {

// The SCD cube named base opened with SCD::openSCD; null when it does not open.
std::unique_ptr<SCFile> openSCDCube(const std::string& base);

// Whether a read of a possibly damaged cube gave one of the two answers it may give: the data
// (SC_OK) or the report of damage (SC_FORMAT_ERROR).
inline bool decodedOrDamaged(int result) {
    return result == SC_OK || result == SC_FORMAT_ERROR;
}

// Counts that exercise the coding: stretches of zeros longer than 255 values, short repeats,
// single values and values above 32767, all varying with the pixel and the channel.
unsigned short variedCount(unsigned x, unsigned y, unsigned c);

// Whether every spectrum (readSpectrums, one line per call) and every image (readImages, all at
// once) of `cube` holds exactly the counts of `expected`, with nothing written outside the
// buffers. Reports the first pixel or channel that differs.
::testing::AssertionResult readsExactly(SCFile& cube, const ReferenceCube& expected);

}  // namespace test_support

#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "sc_api/sc_spectrum_reader.h"
#include "support/reference_scd_writer.h"

namespace test_support {

// The stored lines of a ReferenceCube as a source for SCD::encode or any item encoder. It
// records the count of every read and ends after `end` spectra (possibly inside a line).
class MemorySpectrumReader : public SCSpectrumReader {
  public:
    explicit MemorySpectrumReader(const ReferenceCube& cube) : cube_(cube) {}

    std::uint64_t end = ~0ull;
    std::vector<unsigned> requestedCounts;  // `count` of every read, in order

    bool isOpen() const override { return true; }
    int close() override { return 1; }
    int read(unsigned short* buffer, unsigned count) override;
    bool rewind() override {
        next_ = 0;
        return true;
    }
    unsigned width() const override { return cube_.width; }
    unsigned height() const override { return cube_.height; }
    unsigned depth() const override { return cube_.depth; }
    float factor() const override { return cube_.factor; }
    unsigned acquiredLines() const override { return cube_.acquiredLines; }

  private:
    const ReferenceCube& cube_;
    std::uint64_t next_ = 0;  // next spectrum to deliver
};

enum class CubeKind {
    kRandomRuns,  // runs of random length over a small alphabet, some longer than 255
    kSparse,      // mostly 0 with a few small counts, as a short acquisition gives
    kDense,       // a different 16-bit value almost everywhere
};

// A cube of the given kind with `acquiredLines` stored lines, drawn from `seed`.
ReferenceCube randomCube(CubeKind kind, unsigned width, unsigned height, unsigned depth,
                         unsigned acquiredLines, std::uint32_t seed, float factor = 1.0f);

// Builds `cube` as the SCD cube base with SCD::getBuilder, line by line, then close().
::testing::AssertionResult buildWithBuilder(const std::string& base, const ReferenceCube& cube);

// Writes `cube` as the SCD cube base with SCD::encode.
::testing::AssertionResult encodeWithBatch(const std::string& base, const ReferenceCube& cube);

// Whether the three files of base and of expectedBase are byte for byte the same.
::testing::AssertionResult sameSCDFiles(const std::string& base, const std::string& expectedBase);

// The names of the entries of a directory.
std::set<std::string> filesIn(const std::string& directory);

}  // namespace test_support

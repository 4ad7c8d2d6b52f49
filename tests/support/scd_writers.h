#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "sc_api/sc_spectrum_reader.h"
#include "support/reference_scd_writer.h"

namespace test_support {

// The stored lines of a ReferenceCube as a source for SCD::encode. It records every read and
// can be made to end early or to fail.
class MemorySpectrumReader : public SCSpectrumReader {
  public:
    explicit MemorySpectrumReader(const ReferenceCube& cube) : cube_(cube) {}

    // The source ends after `spectra` spectra (possibly inside a line).
    void endAfter(std::uint64_t spectra) { end_ = spectra; }
    // Every read from the given one on (counting from 0) fails with -1.
    void failFromRead(unsigned readIndex) { failFrom_ = readIndex; }
    void setOpen(bool open) { open_ = open; }

    std::vector<unsigned> requestedCounts;  // `count` of every read, in order
    int rewinds = 0;

    bool isOpen() const override { return open_; }
    int close() override { return 1; }
    int read(unsigned short* buffer, unsigned count) override;
    bool rewind() override;
    unsigned width() const override { return cube_.width; }
    unsigned height() const override { return cube_.height; }
    unsigned depth() const override { return cube_.depth; }
    float factor() const override { return cube_.factor; }
    unsigned acquiredLines() const override { return cube_.acquiredLines; }

  private:
    const ReferenceCube& cube_;
    std::uint64_t next_ = 0;     // next spectrum to deliver
    std::uint64_t end_ = ~0ull;  // spectra available
    unsigned failFrom_ = ~0u;    // index of the first failing read
    bool open_ = true;
};

// Kinds of synthetic cubes for round trips.
enum class CubeKind {
    kRandomRuns,  // runs of random length over a small alphabet, some longer than 255
    kSparse,      // mostly 0 with a few small counts, as a short acquisition gives
    kDense,       // a different 16-bit value almost everywhere
};

// A cube of the given kind with `acquiredLines` stored lines, drawn from `seed`.
ReferenceCube randomCube(CubeKind kind, unsigned width, unsigned height, unsigned depth,
                         unsigned acquiredLines, std::uint32_t seed, float factor = 1.0f);

// Builds `cube` as the SCD cube base with SCD::getBuilder: its stored lines one by one, then
// close(). Fails when the builder cannot be made or a call does not give SC_OK.
::testing::AssertionResult buildWithBuilder(const std::string& base, const ReferenceCube& cube);

// Writes `cube` as the SCD cube base with SCD::encode; fails unless it returns SC_OK.
::testing::AssertionResult encodeWithBatch(const std::string& base, const ReferenceCube& cube);

// Whether the ".scdh", ".scds" and ".scdi" files of base and of expectedBase are byte for byte
// the same; reports the first file and byte that differ.
::testing::AssertionResult sameSCDFiles(const std::string& base, const std::string& expectedBase);

// The names of the entries of a directory.
std::set<std::string> filesIn(const std::string& directory);

}  // namespace test_support

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sc_api/export.h"
#include "sc_api/sc_progress.h"
#include "sc_api/sc_status.h"

// A value on which a cube's two views disagree.
struct SC_API_EXPORT SCValueMismatch {
    unsigned x = 0;
    unsigned y = 0;
    unsigned channel = 0;
    unsigned short fromSpectrum = 0;  // the value as the pixel's spectrum holds it
    unsigned short fromImage = 0;     // the value as the channel's image holds it
};

// The outcome of comparing a cube's spectra with its channel images.
struct SC_API_EXPORT SCIntegrityReport {
    std::uint64_t valuesCompared = 0;
    std::uint64_t mismatchCount = 0;
    std::vector<SCValueMismatch> firstMismatches;  // at most MAX_LISTED, channel by channel

    static constexpr unsigned MAX_LISTED = 20;

    bool consistent() const { return mismatchCount == 0; }
};

// Compares every stored count of a cube as its spectra give it with the same count as its
// channel images give it, for cubes of any form (the raw reader answers both from one data
// file; the SCD readers from two independently coded files).
class SC_API_EXPORT SCIntegrityCheck {
  public:
    SCIntegrityCheck() = delete;

    // Opens `name` as SCCubeProbe::open does and compares. The cube's images are held in memory
    // (width x height x depth 16-bit values) while its spectra are read line by line; the reads
    // start from zeroed buffers, so a stream that cannot be decoded reads as zeros. The status
    // says why the cube could not be checked (OUT_OF_MEMORY when the images do not fit), not
    // whether it is consistent: see report.consistent(). `progress` counts pixels and images.
    static SCStatus check(const std::string& name, SCIntegrityReport& report, SCProgress* progress);
};

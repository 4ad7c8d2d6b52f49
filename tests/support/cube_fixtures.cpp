#include <gtest/gtest.h>

#include "support/cube_fixtures.h"

#include <vector>

#include "sc_api/raw_to_scd.h"
#include "sc_api/sc_raw_io.h"
#include "sc_api/sc_spectrum.h"
#include "support/fragmented_cube_files.h"
#include "support/raw_cube_files.h"

namespace test_support {

std::string writeSmallCube(const std::string& base, SCCubeForm form) {
    switch (form) {
        case SCCubeForm::RAW_VECTOR:
        case SCCubeForm::RAW_IMAGE:
            writeRawCube(base, kSmallWidth, kSmallHeight, kSmallDepth,
                         form == SCCubeForm::RAW_IMAGE ? SCRawHeader::RECORD_BY_IMAGE
                                                       : SCRawHeader::RECORD_BY_VECTOR,
                         smallCubeValue);
            return base + ".rpl";
        case SCCubeForm::SCD:
            writeRawCube(base + "_source", kSmallWidth, kSmallHeight, kSmallDepth,
                         SCRawHeader::RECORD_BY_VECTOR, smallCubeValue);
            EXPECT_EQ(RawToSCD::encode(base + "_source", base), SC_OK);
            SCRawIO::removeSCRaw(base + "_source");
            return base + ".scdh";
        case SCCubeForm::FRAGMENTED_SCD:
            EXPECT_TRUE(writeFragmentedCube(base, twoAreasSideBySide()));
            return base + ".scdh";
    }
    return base;
}

::testing::AssertionResult sameSpectra(const std::string& a, const std::string& b) {
    const SCOpenedCube first = SCCubeProbe::open(a);
    const SCOpenedCube second = SCCubeProbe::open(b);
    if (!first.status.ok() || !second.status.ok()) {
        return ::testing::AssertionFailure()
               << first.status.message() << " / " << second.status.message();
    }
    const SCFile& x = *first.cube;
    const SCFile& y = *second.cube;
    if (x.width() != y.width() || x.height() != y.height() || x.depth() != y.depth()) {
        return ::testing::AssertionFailure() << "dimensions differ";
    }
    SCAllocatedSpectrum s(x.depth());
    SCAllocatedSpectrum t(x.depth());
    for (unsigned py = 0; py < x.height(); ++py) {
        for (unsigned px = 0; px < x.width(); ++px) {
            x.getSpectrum(px, py, s);
            y.getSpectrum(px, py, t);
            for (unsigned c = 0; c < x.depth(); ++c) {
                if (s[c] != t[c]) {
                    return ::testing::AssertionFailure()
                           << "pixel " << px << ", " << py << " channel " << c << ": " << s[c]
                           << " vs " << t[c];
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace test_support

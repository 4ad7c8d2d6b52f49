// Compiled against the umbrella header alone and linked against the shared library: proves
// that the public classes are exported and usable by another program.
#include "sc_api/sc_api.h"

#include <gtest/gtest.h>

TEST(PublicApi, SpectrumArithmeticThroughTheSharedLibrary) {
    SCAllocatedSpectrum a(3);
    SCAllocatedSpectrum b(3);
    for (unsigned i = 0; i < 3; ++i) {
        a[i] = static_cast<float>(i);
        b[i] = 10.0f;
    }
    a += b;
    EXPECT_FLOAT_EQ(a[2], 12.0f);
    a.reset();
    EXPECT_FLOAT_EQ(a[1], 0.0f);
}

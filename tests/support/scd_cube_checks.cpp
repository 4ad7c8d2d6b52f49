#include "support/scd_cube_checks.h"

#include "sc_api/scd.h"
#include "support/guarded_buffer.h"

namespace test_support {

std::unique_ptr<SCFile> openSCDCube(const std::string& base) {
    return std::unique_ptr<SCFile>(SCD::openSCD(base));
}

unsigned short variedCount(unsigned x, unsigned y, unsigned c) {
    if ((c / 8 + x + y) % 3 == 0 || c >= 300) {
        return 0;
    }
    if (c % 17 == 5) {
        return static_cast<unsigned short>(40000 + x * 7 + y);
    }
    return static_cast<unsigned short>((x * 3 + y * 5 + c / 4) % 6);
}

::testing::AssertionResult readsExactly(SCFile& cube, const ReferenceCube& expected) {
    const unsigned w = expected.width;
    const unsigned d = expected.depth;
    if (cube.width() != w || cube.height() != expected.height || cube.depth() != d) {
        return ::testing::AssertionFailure()
               << "cube of " << cube.width() << " x " << cube.height() << " x " << cube.depth();
    }
    for (unsigned y = 0; y < expected.height; ++y) {
        GuardedBuffer line(std::size_t{w} * d);
        const SCErrorCode result = cube.readSpectrums(0, y, w, line.data());
        if (result != SC_OK || !line.guardsIntact()) {
            return ::testing::AssertionFailure() << "reading line " << y << " gave " << result;
        }
        for (unsigned x = 0; x < w; ++x) {
            if (line.slice(std::size_t{x} * d, d) != expected.spectrum(x, y)) {
                return ::testing::AssertionFailure() << "spectrum of (" << x << ", " << y << ")";
            }
        }
    }
    const std::size_t imageSize = std::size_t{w} * expected.height;
    GuardedBuffer images(imageSize * d);
    const SCErrorCode result = cube.readImages(0, d, images.data());
    if (result != SC_OK || !images.guardsIntact()) {
        return ::testing::AssertionFailure() << "reading the images gave " << result;
    }
    for (unsigned c = 0; c < d; ++c) {
        if (images.slice(c * imageSize, imageSize) != expected.image(c)) {
            return ::testing::AssertionFailure() << "image of channel " << c;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace test_support

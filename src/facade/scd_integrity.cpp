#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "api/sample_buffer.h"
#include "sc_api/logger.h"
#include "sc_api/sc_file.h"
#include "sc_api/scd.h"

namespace {

// Both views of a whole cube hold the value of pixel (x, y) in channel k at (k * H + y) * W + x.
using CubeValues = std::unique_ptr<unsigned short[]>;

void logOpenFailure(const std::string& name) {
    Logger& logger = Logger::getInstance();
    if (!logger.isEnable()) {
        return;
    }
    logger.lock();
    logger.error() << "ERROR : "
                   << "checkIntegrity : the SCD " << name << " can't be open" << std::endl;
    logger.unlock();
}

class IntegrityCheck {
  public:
    explicit IntegrityCheck(SCFile& cube)
        : cube_(cube), w_(cube.width()), h_(cube.height()), d_(cube.depth()) {}

    std::uint64_t valueCount() const { return w_ * h_ * d_; }

    // The cube as its spectra tell it, read line by line.
    CubeValues fromSpectra() const {
        CubeValues values = allocateSamples<unsigned short>(valueCount());
        CubeValues line = allocateSamples<unsigned short>(w_ * d_);
        if (!values || !line) {
            return nullptr;
        }
        for (std::uint64_t y = 0; y < h_; ++y) {
            std::fill_n(line.get(), w_ * d_, static_cast<unsigned short>(0));
            cube_.readSpectrums(0, static_cast<unsigned>(y), static_cast<unsigned>(w_), line.get());
            for (std::uint64_t x = 0; x < w_; ++x) {
                for (std::uint64_t k = 0; k < d_; ++k) {
                    values[(k * h_ + y) * w_ + x] = line[x * d_ + k];
                }
            }
        }
        return values;
    }

    // The cube as its channel images tell it, read channel by channel.
    CubeValues fromImages() const {
        const std::uint64_t imageSize = w_ * h_;
        CubeValues values = allocateSamples<unsigned short>(valueCount());
        CubeValues image = allocateSamples<unsigned short>(imageSize);
        if (!values || !image) {
            return nullptr;
        }
        for (std::uint64_t k = 0; k < d_; ++k) {
            std::fill_n(image.get(), imageSize, static_cast<unsigned short>(0));
            cube_.readImages(static_cast<unsigned>(k), 1, image.get());
            std::copy_n(image.get(), imageSize, values.get() + k * imageSize);
        }
        return values;
    }

    // Prints every value where the two views differ; true when there is none.
    bool reportDifferences(const unsigned short* spectra, const unsigned short* images,
                           std::ostream& out) const {
        bool same = true;
        for (std::uint64_t k = 0; k < d_; ++k) {
            for (std::uint64_t y = 0; y < h_; ++y) {
                for (std::uint64_t x = 0; x < w_; ++x) {
                    const std::uint64_t i = (k * h_ + y) * w_ + x;
                    if (spectra[i] != images[i]) {
                        same = false;
                        out << x << ", " << y << ", " << k << " : " << unsigned{spectra[i]} << ", "
                            << unsigned{images[i]} << '\n';
                    }
                }
            }
        }
        out.flush();
        return same;
    }

  private:
    SCFile& cube_;
    std::uint64_t w_;  // width
    std::uint64_t h_;  // height
    std::uint64_t d_;  // depth
};

}  // namespace

bool SCD::checkIntegrity(const std::string& name) {
    try {
        const std::unique_ptr<SCFile> cube(openSCD(name));
        if (!cube) {
            logOpenFailure(name);
            return false;
        }
        const IntegrityCheck check(*cube);
        const auto copiesSize = checkedProduct(cube->width(), cube->height(), cube->depth() * 4ull);
        if (!copiesSize || !fitsInMemory(*copiesSize)) {
            return false;
        }
        if (check.valueCount() == 0) {
            return true;
        }
        const CubeValues spectra = check.fromSpectra();
        const CubeValues images = spectra ? check.fromImages() : nullptr;
        if (!images) {
            return false;
        }
        return check.reportDifferences(spectra.get(), images.get(), std::cout);
    } catch (const std::exception&) {
        return false;
    }
}

#include "sc_api/sc_integrity_check.h"

#include <algorithm>
#include <memory>
#include <new>
#include <tuple>

#include "api/sample_buffer.h"
#include "sc_api/sc_cube_probe.h"
#include "tools/progress_sources.h"

namespace {

class Comparison {
  public:
    Comparison(SCFile& cube, SCIntegrityReport& report, SCProgress* progress)
        : cube_(cube),
          report_(report),
          w_(cube.width()),
          h_(cube.height()),
          d_(cube.depth()),
          counter_(progress, w_ * h_ * d_ * 2) {}

    SCStatus run() {
        const std::optional<std::uint64_t> values = checkedProduct(w_, h_, d_);
        if (values == std::uint64_t{0}) {
            return {};  // an empty cube: nothing to compare, whatever its other dimensions
        }
        images_ = allocateSamples<unsigned short>(values.value_or(~std::uint64_t{0}));
        std::unique_ptr<unsigned short[]> line = allocateSamples<unsigned short>(w_ * d_);
        if (!images_ || !line) {
            return {SCProblem::OUT_OF_MEMORY, {}, "the check holds the whole cube in memory"};
        }
        for (std::uint64_t k = 0; k < d_; ++k) {
            unsigned short* image = images_.get() + k * w_ * h_;
            std::fill_n(image, w_ * h_, static_cast<unsigned short>(0));
            cube_.readImages(static_cast<unsigned>(k), 1, image);
            if (!counter_.add(w_ * h_)) {
                return {SCProblem::INTERRUPTED, {}};
            }
        }
        for (std::uint64_t y = 0; y < h_; ++y) {
            std::fill_n(line.get(), w_ * d_, static_cast<unsigned short>(0));
            cube_.readSpectrums(0, static_cast<unsigned>(y), static_cast<unsigned>(w_), line.get());
            compareLine(y, line.get());
            if (!counter_.add(w_ * d_)) {
                return {SCProblem::INTERRUPTED, {}};
            }
        }
        std::sort(report_.firstMismatches.begin(), report_.firstMismatches.end(),
                  [](const SCValueMismatch& a, const SCValueMismatch& b) {
                      return std::tie(a.channel, a.y, a.x) < std::tie(b.channel, b.y, b.x);
                  });
        if (report_.firstMismatches.size() > SCIntegrityReport::MAX_LISTED) {
            report_.firstMismatches.resize(SCIntegrityReport::MAX_LISTED);
        }
        return {};
    }

  private:
    void compareLine(std::uint64_t y, const unsigned short* spectra) {
        for (std::uint64_t x = 0; x < w_; ++x) {
            for (std::uint64_t k = 0; k < d_; ++k) {
                const unsigned short fromSpectrum = spectra[x * d_ + k];
                const unsigned short fromImage = images_[(k * h_ + y) * w_ + x];
                ++report_.valuesCompared;
                if (fromSpectrum != fromImage) {
                    ++report_.mismatchCount;
                    keep({static_cast<unsigned>(x), static_cast<unsigned>(y),
                          static_cast<unsigned>(k), fromSpectrum, fromImage});
                }
            }
        }
    }

    // Keeps the mismatches first in channel order: the list grows to twice its limit before
    // it is cut back, so that lines read later can still place earlier channels in it.
    void keep(const SCValueMismatch& mismatch) {
        std::vector<SCValueMismatch>& kept = report_.firstMismatches;
        kept.push_back(mismatch);
        if (kept.size() >= 2 * SCIntegrityReport::MAX_LISTED) {
            std::sort(kept.begin(), kept.end(),
                      [](const SCValueMismatch& a, const SCValueMismatch& b) {
                          return std::tie(a.channel, a.y, a.x) < std::tie(b.channel, b.y, b.x);
                      });
            kept.resize(SCIntegrityReport::MAX_LISTED);
        }
    }

    SCFile& cube_;
    SCIntegrityReport& report_;
    std::uint64_t w_;
    std::uint64_t h_;
    std::uint64_t d_;
    ProgressCounter counter_;
    std::unique_ptr<unsigned short[]> images_;  // every channel image, channel after channel
};

}  // namespace

SCStatus SCIntegrityCheck::check(const std::string& name, SCIntegrityReport& report,
                                 SCProgress* progress) {
    report = SCIntegrityReport();
    SCOpenedCube opened = SCCubeProbe::open(name);
    if (!opened.status.ok()) {
        return opened.status;
    }
    return Comparison(*opened.cube, report, progress).run();
}

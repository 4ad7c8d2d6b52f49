#include "codec/image_run_accumulator.h"

namespace {

constexpr unsigned kLongestRun = 255;

}  // namespace

ImageRunAccumulator::ImageRunAccumulator(unsigned width, unsigned height, unsigned depth,
                                         SymbolCountTable& counts)
    : width_(width),
      height_(height),
      depth_(depth),
      runs_(depth, SCSymbol(0, 0)),
      counts_(&counts) {}

void ImageRunAccumulator::addLine(const unsigned short* line) {
    if (finished_ || lines_ >= height_) {
        return;
    }
    SCSymbol* runs = runs_.data();
    for (unsigned x = 0; x < width_; ++x) {
        const unsigned short* spectrum = line + std::uint64_t{x} * depth_;
        for (unsigned c = 0; c < depth_; ++c) {
            const unsigned short value = spectrum[c];
            SCSymbol& run = runs[c];
            if (run.first != 0 && run.second == value && run.first != kLongestRun) {
                ++run.first;
            } else {
                if (run.first != 0) {
                    tally_.add(run);
                }
                run = SCSymbol(1, value);
            }
        }
    }
    ++lines_;
    counts_->add(tally_);
}

void ImageRunAccumulator::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    const std::uint64_t missingZeros = std::uint64_t{height_ - lines_} * width_;
    for (SCSymbol& run : runs_) {
        appendZeros(run, missingZeros);
    }
    lines_ = height_;
    if (width_ != 0 && height_ != 0 && depth_ != 0) {
        for (const SCSymbol& run : runs_) {
            tally_.add(run);
        }
    }
    counts_->add(tally_);
}

void ImageRunAccumulator::appendZeros(SCSymbol& run, std::uint64_t count) {
    if (count == 0) {
        return;
    }
    // Zeros already open join the new ones into one stretch of `stretch` equal values.
    std::uint64_t stretch = count;
    if (run.first != 0 && run.second == 0) {
        stretch += run.first;
    } else if (run.first != 0) {
        tally_.add(run);
    }
    // Every full run of the stretch but the last closes; the last one (1 ... 255 values) stays
    // open, as value-by-value feeding leaves it.
    const std::uint64_t closedRuns = (stretch - 1) / kLongestRun;
    if (closedRuns != 0) {
        tally_.add(SCSymbol(kLongestRun, 0), static_cast<std::uint32_t>(closedRuns));
    }
    run = SCSymbol(static_cast<unsigned char>(stretch - closedRuns * kLongestRun), 0);
}

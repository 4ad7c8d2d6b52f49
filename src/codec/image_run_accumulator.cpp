#include "codec/image_run_accumulator.h"

#include <algorithm>

#include "codec/run_length.h"

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

void ImageRunAccumulator::addRows(const unsigned short* rows, unsigned count) {
    if (finished_ || count > height_ - lines_) {
        return;
    }
    addChannelRows(rows, count, 0, depth_, tally_);
    commitLines(count);
    counts_->add(tally_);
}

void ImageRunAccumulator::addChannelRows(const unsigned short* rows, unsigned count,
                                         unsigned firstChannel, unsigned endChannel,
                                         SymbolTally& tally) {
    const std::size_t rowValues = std::size_t{count} * width_;
    if (rowValues == 0) {
        return;
    }
    for (unsigned c = firstChannel; c < endChannel; ++c) {
        const unsigned short* values = rows + c * rowValues;
        SCSymbol& run = runs_[c];
        std::size_t i = 0;
        if (run.first != 0) {
            // The open run goes on while the values continue it; it closes on a different value
            // or, at 255, on any further value.
            i = equalPrefix(values, std::min<std::size_t>(rowValues, kLongestRun - run.first),
                            run.second);
            run.first = static_cast<unsigned char>(run.first + i);
            if (i == rowValues) {
                continue;
            }
            tally.add(run);
        }
        for (;;) {
            const unsigned short value = values[i];
            const std::size_t length =
                1 + equalPrefix(values + i + 1,
                                std::min<std::size_t>(rowValues - i - 1, kLongestRun - 1), value);
            i += length;
            run = SCSymbol(static_cast<unsigned char>(length), value);
            if (i == rowValues) {
                break;
            }
            tally.add(run);
        }
    }
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

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

bool ImageRunAccumulator::addRows(const unsigned short* rows, unsigned count,
                                  PackedSymbols* symbols, std::size_t* channelEnds) {
    if (finished_ || count > height_ - lines_) {
        return false;
    }
    addChannelRows(rows, count, 0, depth_, tally_, symbols, channelEnds);
    commitLines(count);
    counts_->add(tally_);
    return true;
}

void ImageRunAccumulator::addChannelRows(const unsigned short* rows, unsigned count,
                                         unsigned firstChannel, unsigned endChannel,
                                         SymbolTally& tally, PackedSymbols* symbols,
                                         std::size_t* channelEnds) {
    if (symbols != nullptr) {
        countChannelRows<true>(rows, count, firstChannel, endChannel, tally, symbols, channelEnds);
    } else {
        countChannelRows<false>(rows, count, firstChannel, endChannel, tally, nullptr, nullptr);
    }
}

template <bool kKeepSymbols>
void ImageRunAccumulator::countChannelRows(const unsigned short* rows, unsigned count,
                                           unsigned firstChannel, unsigned endChannel,
                                           SymbolTally& tally, PackedSymbols* symbols,
                                           std::size_t* channelEnds) {
    const std::size_t rowValues = std::size_t{count} * width_;
    PackedSymbol* next = nullptr;  // where the next kept symbol goes
    const auto close = [&](const SCSymbol& run) {
        tally.add(run);
        if constexpr (kKeepSymbols) {
            *next++ = packSymbol(run);
        }
    };
    for (unsigned c = firstChannel; c < endChannel; ++c) {
        const unsigned short* values = rows + (c - firstChannel) * rowValues;
        if constexpr (kKeepSymbols) {
            // Room for the most symbols a channel's rows close: the open run, then one per value.
            const std::size_t before = symbols->size();
            symbols->resize(before + rowValues + 1);
            next = symbols->data() + before;
        }
        SCSymbol& run = runs_[c];
        std::size_t i = 0;
        if (rowValues != 0 && run.first != 0) {
            // The open run goes on while the values continue it; it closes on a different value
            // or, at 255, on any further value.
            i = equalPrefix(values, std::min<std::size_t>(rowValues, kLongestRun - run.first),
                            run.second);
            run.first = static_cast<unsigned char>(run.first + i);
            if (i < rowValues) {
                close(run);
            }
        }
        while (i < rowValues) {
            const unsigned short value = values[i];
            const std::size_t length =
                1 + equalPrefix(values + i + 1,
                                std::min<std::size_t>(rowValues - i - 1, kLongestRun - 1), value);
            i += length;
            run = SCSymbol(static_cast<unsigned char>(length), value);
            if (i < rowValues) {
                close(run);
            }
        }
        if constexpr (kKeepSymbols) {
            symbols->resize(static_cast<std::size_t>(next - symbols->data()));
            channelEnds[c - firstChannel] = symbols->size();
        }
    }
}

void ImageRunAccumulator::finish() {
    if (finished_) {
        return;
    }
    const std::uint64_t zeros = missingZeros();
    for (const SCSymbol& run : runs_) {
        finishChannel(run, zeros, [this](const SCSymbol& symbol, std::uint32_t times) {
            tally_.add(symbol, times);
        });
    }
    finished_ = true;
    lines_ = height_;
    counts_->add(tally_);
}

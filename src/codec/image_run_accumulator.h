#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/scd_symbol.h"
#include "codec/symbol_count_table.h"

// Counts the run-length symbols of every channel image of a cube while its lines arrive, as if
// each channel's W x H values (row-major, lines after the last one added being 0) were coded as
// one stream: runs go on from the end of one line into the next, and each run is counted when
// it closes. After finish() the table holds exactly the symbols that coding the finished
// channel images emits.
//
// Used by one thread at a time; the table may be shared with other counting threads.
class ImageRunAccumulator {
  public:
    ImageRunAccumulator(unsigned width, unsigned height, unsigned depth, SymbolCountTable& counts);
    ImageRunAccumulator(const ImageRunAccumulator&) = delete;
    ImageRunAccumulator& operator=(const ImageRunAccumulator&) = delete;

    // Feeds line lines(): width spectra of depth values, pixel after pixel (pixel x, channel c at
    // x * depth + c). The runs closed by the line are added to the table before returning.
    // A line beyond height(), or fed after finish(), is ignored.
    void addLine(const unsigned short* line);
    // The same as `count` calls of addLine, for lines held as channel rows: the values of
    // channel c for those lines, row after row, start at rows + c * count * width. With
    // `symbols`, the runs that close are also appended to it as addChannelRows does for every
    // channel. Ignored, as a whole (false), when the lines would go beyond height() or after
    // finish().
    bool addRows(const unsigned short* rows, unsigned count, PackedSymbols* symbols = nullptr,
                 std::size_t* channelEnds = nullptr);
    // The same for `count` lines at once held as channel rows, for channels firstChannel ...
    // endChannel - 1 only: the values of channel c for those lines, row after row, start at
    // rows + (c - firstChannel) * count * width. Counts the runs of those channels, into `tally`
    // (the caller adds it to the table), and does not advance lines(): once every channel is
    // counted, the caller calls commitLines(count). With `symbols`, the runs that close are also
    // appended to it, channel after channel, and channelEnds[k] is its size after channel
    // firstChannel + k. Calls for disjoint channel ranges may run on several threads at once.
    // REQUIRES: lines() + count <= height(), not finished.
    void addChannelRows(const unsigned short* rows, unsigned count, unsigned firstChannel,
                        unsigned endChannel, SymbolTally& tally, PackedSymbols* symbols = nullptr,
                        std::size_t* channelEnds = nullptr);
    // Records `count` lines counted by addChannelRows for every channel.
    void commitLines(unsigned count) { lines_ += count; }
    // Counts the lines not added as zeros up to height(), then the open run of every channel,
    // channel 0 first. Further calls do nothing.
    void finish();

    unsigned lines() const { return lines_; }
    unsigned width() const { return width_; }
    unsigned depth() const { return depth_; }

    // The open run of each channel (run length 0: none), and the zeros that stand for the
    // lines not added: before finish(), what finishChannel() completes.
    const std::vector<SCSymbol>& openRuns() const { return runs_; }
    std::uint64_t missingZeros() const { return std::uint64_t{height_ - lines_} * width_; }
    // Calls emit(symbol, times) for the symbols that finish() counts for a channel whose open
    // run is `run` when `zeros` zeros remain: the runs of those zeros, then the last run. After
    // the symbols that addChannelRows appended for the channel, they complete the channel
    // image's symbols, in order.
    template <class Emit>
    void finishChannel(SCSymbol run, std::uint64_t zeros, Emit&& emit) const;
    unsigned height() const { return height_; }

  private:
    template <bool kKeepSymbols>
    void countChannelRows(const unsigned short* rows, unsigned count, unsigned firstChannel,
                          unsigned endChannel, SymbolTally& tally, PackedSymbols* symbols,
                          std::size_t* channelEnds);

    unsigned width_;              // pixels per line
    unsigned height_;             // lines of the cube
    unsigned depth_;              // channels
    unsigned lines_ = 0;          // lines consumed
    bool finished_ = false;       // finish() has run
    std::vector<SCSymbol> runs_;  // open run per channel; run length 0 means none
    SymbolCountTable* counts_;    // where closed runs are counted
    SymbolTally tally_;           // runs closed by the current call, not yet in counts_
};

template <class Emit>
void ImageRunAccumulator::finishChannel(SCSymbol run, std::uint64_t zeros, Emit&& emit) const {
    constexpr unsigned kLongestRun = 255;
    if (zeros != 0) {
        // Zeros already open join the new ones into one stretch of `stretch` equal values; every
        // full run of the stretch but the last closes, the last one (1 ... 255 values) stays
        // open, as value-by-value feeding leaves it.
        std::uint64_t stretch = zeros;
        if (run.first != 0 && run.second == 0) {
            stretch += run.first;
        } else if (run.first != 0) {
            emit(run, std::uint32_t{1});
        }
        const std::uint64_t closedRuns = (stretch - 1) / kLongestRun;
        if (closedRuns != 0) {
            emit(SCSymbol(kLongestRun, 0), static_cast<std::uint32_t>(closedRuns));
        }
        run = SCSymbol(static_cast<unsigned char>(stretch - closedRuns * kLongestRun), 0);
    }
    if (width_ != 0 && height_ != 0 && depth_ != 0) {
        emit(run, std::uint32_t{1});
    }
}

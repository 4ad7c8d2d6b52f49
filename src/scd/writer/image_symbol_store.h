#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/image_run_accumulator.h"
#include "codec/scd_symbol.h"
#include "io/file_stream.h"
#include "scd/writer/stream_encoder.h"

// The run-length symbols of a cube's channel images as the counting pass finds them, kept in a
// temporary file until the coding pass: coding then needs neither the values again nor memory
// in proportion to the cube. Symbols arrive block after block (a block: some lines of every
// channel), channel after channel within a block; a channel image's symbols are its symbols of
// every block in block order, followed by those that finish its last run
// (ImageRunAccumulator::finishChannel).
//
// Used by one thread at a time.
class ImageSymbolStore {
  public:
    // Creates the file at `path`, replacing any file of that name, for `depth` channels; check
    // isOpen().
    ImageSymbolStore(const std::string& path, unsigned depth);
    ImageSymbolStore(const ImageSymbolStore&) = delete;
    ImageSymbolStore& operator=(const ImageSymbolStore&) = delete;

    bool isOpen() const { return output_.isOpen() || input_.isOpen(); }
    // Closes the file; it stays until removed.
    void close();
    const std::string& path() const { return path_; }

    // Appends the next `channels` channels of the block being stored: the symbols of the k-th
    // are symbols[channelEnds[k - 1] .. channelEnds[k]) (from 0 for k = 0). A block is complete
    // once all `depth` channels are appended. False when the write fails or memory runs out.
    bool appendChannels(const PackedSymbol* symbols, const std::size_t* channelEnds,
                        unsigned channels);
    // Ends the writing and opens the file for reading; once done, further calls do nothing.
    // False when it cannot be reopened or a block is incomplete.
    bool finishWriting();
    // Some consecutive channels' stored symbols, read from every block at once.
    struct ChannelGroup {
        unsigned first = 0;  // the group's channels: first ... end - 1
        unsigned end = 0;
        PackedSymbols symbols;                 // block after block, channel after channel
        std::vector<std::size_t> blockStarts;  // where each block's channels start in symbols
    };
    // Reads into `group` the stored symbols of the channels from `first` on, as many channels as
    // hold about `bytes` bytes (one at least): one read per block instead of one per block and
    // channel. False when the file cannot be read or memory runs out. REQUIRES: finishWriting()
    // succeeded, first < depth.
    bool readGroup(unsigned first, std::uint64_t bytes, ChannelGroup& group) const;
    // Appends channel c's stored symbols, of every block in order, to `out`. Throws
    // std::bad_alloc when memory runs out. REQUIRES: `group` read by readGroup, holds c.
    void appendChannel(unsigned c, const ChannelGroup& group, std::vector<PackedSymbol>& out) const;

  private:
    // Where channel c's symbols of block b start in the file; c = depth_ gives the block's end.
    std::uint64_t start(std::size_t block, unsigned c) const {
        return starts_[block * (std::size_t{depth_} + 1) + c];
    }
    // Blocks stored.
    std::size_t blocks() const { return starts_.size() / (std::size_t{depth_} + 1); }

    std::string path_;
    unsigned depth_;
    SystemOutputFileStream output_;  // while symbols are appended
    SystemInputFileStream input_;    // after finishWriting()
    std::uint64_t size_ = 0;         // bytes written
    unsigned nextChannel_ = 0;       // channel of the current block appended next
    // For each block, the byte offset of each channel's symbols, then the end of the block:
    // depth + 1 entries per block.
    std::vector<std::uint64_t> starts_;
};

// The channel images of a store as the coding reads them, channel after channel: each channel's
// stored symbols, then those that finish it (the accumulator's open run of the channel and the
// zeros of the lines never added, as they stood before the accumulator's finish()).
class ImageSymbolSource : public SymbolStreamSource {
  public:
    ImageSymbolSource(const ImageSymbolStore& store, const ImageRunAccumulator& accumulator,
                      const std::vector<SCSymbol>& openRuns, std::uint64_t missingZeros)
        : store_(&store),
          accumulator_(&accumulator),
          openRuns_(&openRuns),
          missingZeros_(missingZeros) {}

    bool appendNext(std::vector<PackedSymbol>& symbols) override;

  private:
    const ImageSymbolStore* store_;
    const ImageRunAccumulator* accumulator_;
    const std::vector<SCSymbol>* openRuns_;
    std::uint64_t missingZeros_;
    unsigned next_ = 0;                     // the channel read next
    ImageSymbolStore::ChannelGroup group_;  // the group holding it, once read
};

// Reads `bytes` bytes at `offset` of a symbol file into `to`. False when they cannot all be read.
bool readSymbolFile(const SystemInputFileStream& input, std::uint64_t offset, void* to,
                    std::uint64_t bytes);

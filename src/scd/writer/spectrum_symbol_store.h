#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/scd_symbol.h"
#include "codec/symbol_count_table.h"
#include "io/file_stream.h"
#include "scd/writer/stream_encoder.h"

// The run-length symbols of some consecutive spectra, on their way to a SpectrumSymbolStore: the
// symbols one spectrum after another, and the symbol count of each spectrum. Kept from batch to
// batch so that their memory is not allocated again for each.
struct SpectrumSymbols {
    PackedSymbols symbols;
    std::vector<std::uint32_t> counts;

    void clear() {
        symbols.clear();
        counts.clear();
    }
    // Appends the symbols of `count` spectra of `depth` values each, stored one after another
    // from `spectra`, and counts them into `tally`. Throws std::bad_alloc when memory runs out.
    void add(const unsigned short* spectra, std::size_t count, unsigned depth, SymbolTally& tally);
};

// The run-length symbols of a cube's spectra as the counting pass finds them, kept in a
// temporary file until the coding pass, so that the source need not be read a second time.
// Spectra arrive in order, a block of them at a time; the file holds, block after block, the
// symbol count of each of the block's spectra and then their symbols.
//
// Used by one thread at a time.
class SpectrumSymbolStore {
  public:
    // Creates the file at `path`, replacing any file of that name; check isOpen().
    explicit SpectrumSymbolStore(const std::string& path);
    SpectrumSymbolStore(const SpectrumSymbolStore&) = delete;
    SpectrumSymbolStore& operator=(const SpectrumSymbolStore&) = delete;

    bool isOpen() const { return output_.isOpen() || input_.isOpen(); }
    // Closes the file; it stays until removed.
    void close();
    const std::string& path() const { return path_; }

    // Appends the next spectra. False when the write fails or memory runs out.
    bool appendSpectra(const SpectrumSymbols& batch);
    // Ends the writing and opens the file for reading; once done, further calls do nothing.
    // False when it cannot be reopened.
    bool finishWriting();

  private:
    friend class SpectrumSymbolSource;

    struct Block {
        std::uint64_t offset;   // of its counts; its symbols follow them
        std::uint64_t spectra;  // spectra in the block
    };

    std::string path_;
    SystemOutputFileStream output_;  // while spectra are appended
    SystemInputFileStream input_;    // after finishWriting()
    std::uint64_t size_ = 0;         // bytes written
    std::vector<Block> blocks_;      // in order
};

// The spectra of a store as the coding reads them, one after another, through a buffer of a
// few megabytes: the file is read once, sequentially. REQUIRES: finishWriting() succeeded.
class SpectrumSymbolSource : public SymbolStreamSource {
  public:
    explicit SpectrumSymbolSource(const SpectrumSymbolStore& store) : store_(&store) {}

    bool appendNext(std::vector<PackedSymbol>& symbols) override;

  private:
    // Moves to the next block: reads its counts. False past the last block or on a failure.
    bool nextBlock();

    const SpectrumSymbolStore* store_;
    std::size_t block_ = 0;               // the next block to read
    std::vector<std::uint32_t> counts_;   // of the current block's spectra
    std::size_t spectrum_ = 0;            // the next spectrum of the current block
    std::uint64_t nextSymbolOffset_ = 0;  // in the file, of the first symbol not yet buffered
    std::uint64_t symbolsLeft_ = 0;       // in the current block, not yet buffered
    PackedSymbols buffer_;                // symbols read ahead
    std::size_t buffered_ = 0;            // buffer_[buffered_ ..] are not yet handed out
};

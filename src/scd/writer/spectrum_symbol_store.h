#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/scd_symbol.h"
#include "io/file_stream.h"
#include "scd/writer/stream_encoder.h"

// The run-length symbols of a cube's spectra as they are counted, kept in a temporary file until
// the coding, which then reads them in order instead of the spectra's values. Spectra are
// appended in runs, in spectrum order, each run as one record: where each spectrum's symbols
// end, then the symbols. Reading holds one record in memory at a time.
//
// Used by one thread at a time.
class SpectrumSymbolStore : public SymbolStreamSource {
  public:
    // Creates the file at `path`, replacing any file of that name; check isOpen().
    explicit SpectrumSymbolStore(const std::string& path);
    SpectrumSymbolStore(const SpectrumSymbolStore&) = delete;
    SpectrumSymbolStore& operator=(const SpectrumSymbolStore&) = delete;

    bool isOpen() const { return output_.isOpen() || input_.isOpen(); }
    const std::string& path() const { return path_; }
    // Spectra appended so far.
    std::uint64_t spectra() const { return spectra_; }
    // Closes the file; it stays until removed.
    void close();

    // Appends the next `spectra` spectra: the symbols of the k-th are
    // symbols[ends[k - 1] .. ends[k]) (from 0 for k = 0). False when the write fails.
    bool appendSpectra(const PackedSymbol* symbols, const std::size_t* ends, std::size_t spectra);
    // Ends the writing (once) and makes the first spectrum the next one read. False when the
    // file cannot be opened for reading.
    bool startReading();
    // Appends the symbols of the next spectrum to `symbols`. False when the file cannot be read,
    // memory runs out or every spectrum was read. REQUIRES: startReading() succeeded.
    bool appendNext(std::vector<PackedSymbol>& symbols) override;

  private:
    // Reads record `record_` into ends_ and symbols_.
    bool loadRecord();

    struct Record {
        std::uint64_t offset;   // of its ends in the file
        std::uint64_t spectra;  // spectra in the record
        std::uint64_t symbols;  // symbols in the record
    };

    std::string path_;
    SystemOutputFileStream output_;  // while spectra are appended
    SystemInputFileStream input_;    // once reading started
    std::uint64_t size_ = 0;         // bytes written
    std::uint64_t spectra_ = 0;      // spectra appended
    std::vector<Record> records_;    // every record, in order
    // Reading: the record loaded, and the next spectrum in it.
    std::size_t record_ = 0;
    std::size_t nextSpectrum_ = 0;
    bool loaded_ = false;
    std::vector<std::size_t> ends_;
    std::vector<PackedSymbol> symbols_;
};

#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/image_run_accumulator.h"
#include "codec/symbol_count_table.h"
#include "sc_api/processor.h"
#include "sc_api/sc_spectrum_reader.h"
#include "scd/format/scd_header.h"
#include "scd/writer/image_symbol_store.h"
#include "scd/writer/spectrum_symbol_store.h"

// One SCD::encode call: writes the SCD cube N from a source of spectra that can be read twice.
// The first pass reads the source in blocks of up to 16 lines (the first ones shorter, so that
// counting starts at once) and counts the run-length symbols of its spectra and channel images;
// the symbols of the channel images are kept, block by block, in the temporary file
// N + "__tmp__raw__image.raw" (an ImageSymbolStore). After a rewind, the second pass codes the
// spectra straight from the source and the channel images from their kept symbols
// (encodeStreams, encodeSymbolStreams); then the temporary file is removed and the header
// written.
//
// A source that need not be read twice (the raw file that RawToSCD::encode reads) may be read
// once instead: the first pass then also keeps the spectra's symbols, in the temporary file
// N + "__tmp_spectrum_symbols", and the second pass codes the spectra from them. The files
// written are the same byte for byte.
//
// The cube has the source's width, height, depth and factor; A = min(acquiredLines, height).
// Only whole lines are counted and coded: when the source ends early, or inside a line, the
// spectra not delivered keep the offset 0 and the images read zeros there.
//
// Threads. The calling thread reads the source. Each block is handed to a LineProcessorAction
// on a private processor of one worker (so the next block is read meanwhile); that action posts
// to the library's processor actions that never wait for anything (RangeWorkerActions, one per
// core, which take the block's channel ranges, each laid out and counted a line at a time, and
// then its spectrum ranges; or, when the source is read twice, the spectra's counting actions
// besides), writes the symbols kept from the block before to the temporary files meanwhile,
// and waits for them. The only action that waits thus holds a worker of its own processor,
// never one of the library's, and any number of encodings, builders and readers may run at
// once without deadlock. The coding pass is encodeStreams'.
class BatchEncoding {
  public:
    // How often the source is read.
    enum class SourceReads { kTwice, kOnce };

    // Creates the temporary files; check isReady().
    BatchEncoding(SCSpectrumReader& reader, const std::string& name,
                  SourceReads reads = SourceReads::kTwice);
    BatchEncoding(const BatchEncoding&) = delete;
    BatchEncoding& operator=(const BatchEncoding&) = delete;

    // Whether the temporary files could be created.
    bool isReady() const {
        return imageSymbols_.isOpen() && (!spectrumSymbols_ || spectrumSymbols_->isOpen());
    }

    // Writes the cube as described above. SC_OK once the cube is published (its header last);
    // SC_FILE_ERROR when the source fails to read or a file cannot be created, SC_WRITE_ERROR
    // when a write fails, SC_ALLOCATION_ERROR when memory runs out. On failure no header is
    // left (an older cube of that name is withdrawn before its data files are replaced) and
    // the data files are removed. The temporary files are removed either way (after a success,
    // their data are freed in the background: TemporaryFileRemoval). REQUIRES:
    // isReady(); called once.
    int run();

    // Counts and stores `lines` lines of 16 at most, width x depth values each, from `block`:
    // the work of a LineProcessorAction.
    void processBlock(const unsigned short* block, unsigned lines);

    // The symbols of a block's channel range, and where each of its channels ends among them.
    struct RangeSymbols {
        PackedSymbols symbols;
        std::vector<std::size_t> ends;
        std::vector<unsigned short> rows;  // a line of the range's channels, as channel rows
        // While counting: the symbols line after line, channel after channel within a line, and
        // where each line's channel ends among them.
        PackedSymbols lineSymbols;
        std::vector<std::size_t> lineEnds;
        unsigned firstChannel = 0;
        unsigned endChannel = 0;
    };
    // Counts the ranges of the block being counted, taking one after another until none is
    // left: the work of a RangeWorkerAction.
    void countRanges();

  private:
    // Lays out the channel rows of the block being counted, for the channels of `kept`, and
    // counts their image runs into `tally`, keeping their symbols in `kept`. Ranges of one block
    // may run at once. Throws std::bad_alloc when memory runs out.
    void processChannels(RangeSymbols& kept, SymbolTally& tally);
    // Counts the symbols of the block's spectrum range `range` (spectra range * rangeSpectra_
    // on) into `tally` and keeps them in `kept`, when the source is read once. Ranges of one
    // block may run at once. Throws std::bad_alloc likewise.
    void processSpectra(unsigned range, SpectrumSymbols& kept, SymbolTally& tally);
    // The first pass; returns the number of lines counted.
    unsigned countLines();
    // The second pass and the header.
    SCErrorCode writeCube(unsigned linesCounted);
    // Records the first failure of the encoding.
    void fail(SCErrorCode code);
    struct KeptBlock;
    // Writes a counted block's symbols to the stores, if it has any not yet written.
    void writeKept(KeptBlock& kept);

    std::string name_;                 // N, the cube's base name
    SCSpectrumReader* reader_;         // the source
    SCDHeader header_;                 // the cube's header, filled as the passes go
    SymbolCountTable counts_;          // symbols of every spectrum and channel image
    ImageRunAccumulator accumulator_;  // counts the channel images into counts_
    ImageSymbolStore imageSymbols_;    // the channel images' symbols, block by block
    // The symbols a block's counting keeps: written to the stores while the next block is
    // counted.
    struct KeptBlock {
        std::vector<RangeSymbols> channels;    // per channel range, in channel order
        std::vector<SpectrumSymbols> spectra;  // per spectrum range, in spectrum order
        unsigned channelRanges = 0;            // ranges of the block in channels
        unsigned spectrumRanges = 0;           // ranges of the block in spectra
        bool pending = false;                  // counted, not yet written
    };
    KeptBlock kept_[2];      // the block being counted and the one before it
    unsigned counting_ = 0;  // kept_ of the block being counted
    // When the source is read once: the spectra's symbols.
    std::unique_ptr<SpectrumSymbolStore> spectrumSymbols_;
    std::vector<SCSymbol> openRuns_;           // each channel's open run after the last block
    std::uint64_t missingZeros_ = 0;           // zeros standing for the lines not delivered
    std::atomic<SCErrorCode> failure_{SC_OK};  // first failure of the counting pass
    // The block being counted: its first line, its lines, the spectra of each spectrum range,
    // and the next of its ranges to take (the channel ranges first, kept_[counting_] says how
    // many of each).
    const unsigned short* countedBlock_ = nullptr;
    unsigned countedLines_ = 0;
    std::size_t rangeSpectra_ = 0;
    std::atomic<unsigned> nextRange_{0};
};

// Whether what a writer of an SCD cube of these dimensions holds in memory until the cube is
// written fits in the machine's memory: the offset indexes (8 bytes per spectrum and per channel
// image) and some tens of bytes more per channel (open runs, the symbol stores' indexes).
// Checked before an encoding or a builder starts, so that dimensions nothing backs (a damaged
// journal, an empty cube claiming billions of channels, a remote caller's request) are refused
// instead of exhausting the system.
bool writerStateFitsInMemory(unsigned width, unsigned height, unsigned depth);

// SCD::encode: checks the reader and the memory its writer needs, then runs a
// BatchEncoding that reads the source `reads` times. Its result, as SCD::encode documents it.
int encodeBatch(SCSpectrumReader& reader, const std::string& name,
                BatchEncoding::SourceReads reads);

// Counts ranges of a block (BatchEncoding::countRanges) until none is left. Never waits. One
// action is posted as many times as the machine has cores: the ranges then share the cores
// without preempting one another, and a worker that ends early takes the next range.
class RangeWorkerAction : public lattix::lx_tuplink::Action {
  public:
    explicit RangeWorkerAction(BatchEncoding& encoding) : encoding_(&encoding) {}

  protected:
    void execute() override { encoding_->countRanges(); }

  private:
    BatchEncoding* encoding_;
};

// Runs BatchEncoding::processBlock for one block.
class LineProcessorAction : public lattix::lx_tuplink::Action {
  public:
    LineProcessorAction(const unsigned short* block, unsigned lines, BatchEncoding& encoding)
        : block_(block), lines_(lines), encoding_(&encoding) {}

  protected:
    void execute() override { encoding_->processBlock(block_, lines_); }

  private:
    const unsigned short* block_;  // the block's first line
    unsigned lines_;               // lines in the block
    BatchEncoding* encoding_;      // does the work
};

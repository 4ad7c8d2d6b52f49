#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/image_run_accumulator.h"
#include "codec/symbol_count_table.h"
#include "io/file_stream.h"
#include "sc_api/sc_file_builder.h"
#include "sc_api/sc_item_reader.h"
#include "scd/format/scd_header.h"
#include "scd/writer/build_journal.h"
#include "scd/writer/image_symbol_store.h"
#include "scd/writer/item_queue.h"
#include "scd/writer/scd_line_actions.h"
#include "scd/writer/temporary_image_file.h"

// The part of an SCD cube writer that does not depend on how lines are processed. A cube is
// built in two passes: while lines arrive, the subclass counts their run-length symbols into
// counts() (spectra) and accumulator() (channel images) and stores them in two temporary
// files, spectrumFile() (spectrum after spectrum) and imageFile() (image order); close() then
// builds the code table, codes every spectrum and channel image from the temporary files into
// N + ".scds" and N + ".scdi" with encodeItems(), publishes N + ".scdh" last and only then
// removes the temporary files.
//
// Files: N + "__tmp_spectrum_file" and N + "__tmp_image_file.raw" are created empty when the
// builder is made, with N + "__tmp_image_symbols" and N + "__tmp_spectrum_symbols", where the
// channel images' and the spectra's symbols are kept as they are counted so that close() codes
// them without reading the temporary files again (it reads those when a symbol could not be
// kept), beside the journal
// N + "__tmp_journal" (BuildJournal), which records the
// lines wholly stored and locks the cube: a second builder of the same cube is not open while
// this one lives. A builder destroyed without close() or cancel(), or whose process dies, leaves
// the temporaries and the journal: recoverSCDCube (SCD::recover) then makes the cube of the
// lines stored. An older cube N is withdrawn (its header removed) before its data files are
// written again, so no header ever points at data being replaced.
//
// Failures. A line whose data cannot be stored whole is refused with SC_WRITE_ERROR; the
// builder then takes no more lines, and close() makes the cube of the lines stored before it
// (from the temporary spectrum file). A close() that fails leaves no header, keeps every
// temporary file, and leaves the builder open: close() may be called again (after space was
// freed, say) or cancel().
//
// Used by one thread at a time: lines in row order, then close() or cancel();
// computeRoiImage() may come between lines.
template <class ThreadingPolicy>
class SCDBuilder : public SCFileBuilder {
  public:
    ~SCDBuilder() override;

    unsigned width() const override { return header_.width(); }
    unsigned height() const override { return header_.height(); }
    unsigned depth() const override { return header_.depth(); }
    // Open from construction (when the journal's lock was taken and the temporary files could be
    // created) until a close() that succeeds, or cancel().
    bool isOpen() const override { return open_; }

    // Completes the cube as described above, the lines not added reading as zeros; the header
    // stores the number of lines added. SC_OK once the cube is published and the temporaries
    // removed; SC_FILE_ERROR when a file of the cube cannot be created, SC_WRITE_ERROR when a
    // write fails, SC_ALLOCATION_ERROR when memory runs out (the builder then stays open, see
    // above); SC_FILE_ERROR, doing nothing, when the builder is not open.
    SCErrorCode close() override;
    // Removes the temporary files and the journal; no file of the cube is written. SC_OK, or
    // SC_FILE_ERROR, doing nothing, when the builder is not open.
    SCErrorCode cancel() override;
    // The ROI image (sum of channels first ... first + count - 1, times the factor, low 16
    // bits) of the lines added so far, width x height values; lines not added read 0.
    // SC_OUT_OF_RANGE when the channels lie outside the cube; SC_FILE_ERROR, creating no file,
    // once the builder is closed or cancelled.
    SCErrorCode computeRoiImage(unsigned first, unsigned count, unsigned short* out) override;

  protected:
    // A builder of the cube `name`; with syncEveryLines > 0 the temporary spectrum file and the
    // journal are flushed to the device after every that many lines (durability against power
    // loss; a process crash loses nothing either way).
    SCDBuilder(const std::string& name, unsigned width, unsigned height, unsigned depth,
               float factor, unsigned syncEveryLines);

    // Writes the coded streams of the first `count` items of `reader` to `out` (open, empty)
    // and sets `offsets` to exactly `count` entries, the position of each stream. False when
    // not every stream could be written.
    virtual bool encodeItems(SCItemReader& reader, unsigned count,
                             std::vector<std::uint64_t>& offsets, OutputFileStream& out) = 0;
    // Codes the spectra of the temporary spectrum file into N + ".scds".
    virtual SCErrorCode encodeSpectrumFile();
    // Codes the channel images of the temporary image file into N + ".scdi".
    virtual SCErrorCode encodeImageFile();

    // For addSpectrumLine: SC_OK while lines are taken; SC_WRITE_ERROR after a line failed,
    // SC_FILE_ERROR once close() was tried or the builder is not open.
    SCErrorCode takesLines() const;
    // Records the line just stored (`stored`: its data went wholly to both temporary files) in
    // the journal. SC_OK; SC_WRITE_ERROR when the line or the journal could not be written,
    // after which no line is taken.
    SCErrorCode lineStored(bool stored);
    // The temporary image file lacks part of a line already stored: the builder takes no more
    // lines and close() codes the cube from the temporary spectrum file.
    void imageCopyFailed() { stage_ = Stage::kLineFailed; }
    // Called first by close() (discard false) and cancel() (discard true): a subclass that
    // holds lines back for counting sends them on, or drops them, and waits until nothing works
    // on the temporary files any more.
    virtual void finishLines(bool /*discard*/) {}

    const std::string& name() const { return name_; }
    const SCDHeader& header() const { return header_; }
    SystemOutputFileStream& spectrumFile() { return spectrumFile_; }
    TemporaryImageFile& imageFile() { return imageFile_; }
    SymbolCountTable& counts() { return counts_; }
    ImageRunAccumulator& accumulator() { return accumulator_; }
    // Where the line actions keep the symbols they count.
    KeptSymbols& keptSymbols() { return kept_; }
    unsigned linesAdded() const { return linesAdded_; }

  private:
    // Where the builder stands.
    enum class Stage {
        kTakingLines,  // lines are taken
        kLineFailed,   // a line could not be stored; close() codes the lines before it
        kCoding,       // counting is finished; close() codes (again)
    };

    // The work of close() once counting is finished.
    SCErrorCode completeCube();
    // Codes the streams of `source` into the data file `dataPath`.
    SCErrorCode encodeKept(SymbolStreamSource& source, unsigned count,
                           std::vector<std::uint64_t>& offsets, const std::string& dataPath);
    // Codes the items of the file `itemPath` into the data file `dataPath`.
    SCErrorCode encodeFile(const std::string& itemPath, unsigned itemSize, unsigned count,
                           std::vector<std::uint64_t>& offsets, const std::string& dataPath);
    // Closes the temporary streams; removes the temporaries and the journal; not open after.
    void finish();

    std::string name_;                     // N, the cube's base name
    BuildJournal journal_;                 // the lock and the count of lines stored
    bool open_ = false;                    // see isOpen()
    Stage stage_ = Stage::kTakingLines;    // where the builder stands
    unsigned syncEveryLines_;              // lines between two flushes to the device; 0: never
    SCDHeader header_;                     // dimensions, factor; offsets and codes at close()
    TemporaryImageFile imageFile_;         // the lines in image order
    SystemOutputFileStream spectrumFile_;  // the lines as they came
    SymbolCountTable counts_;              // symbols of every spectrum and channel image
    ImageRunAccumulator accumulator_;      // counts the channel images into counts_
    unsigned linesAdded_ = 0;              // lines accepted so far
    ImageSymbolStore imageSymbols_;        // the channel images' symbols, kept for the coding
    SpectrumSymbolStore spectrumSymbols_;  // the spectra's symbols, kept for the coding
    KeptSymbols kept_;                     // the store, and whether it holds every symbol
    std::vector<SCSymbol> openRuns_;       // the accumulator's open runs when counting ended
    std::uint64_t missingZeros_ = 0;       // zeros standing for the lines never added
};

extern template class SCDBuilder<MultiThreadingPolicy>;

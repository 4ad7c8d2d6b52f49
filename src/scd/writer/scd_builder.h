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
#include "scd/writer/item_queue.h"
#include "scd/writer/temporary_image_file.h"

// The part of an SCD cube writer that does not depend on how lines are processed. A cube is
// built in two passes: while lines arrive, the subclass counts their run-length symbols into
// counts() (spectra) and accumulator() (channel images) and stores them in two temporary
// files, spectrumFile() (spectrum after spectrum) and imageFile() (image order); close() then
// builds the code table, codes every spectrum and channel image from the temporary files into
// N + ".scds" and N + ".scdi" with encodeItems(), removes the temporary files and writes
// N + ".scdh".
//
// Files: N + "__tmp_spectrum_file" and N + "__tmp_image_file.raw" are created empty when the
// builder is made and removed by close() and cancel(); the cube's three files are created
// empty by close(), replacing older ones. A builder destroyed without close() or cancel()
// leaves the temporary files and writes no cube.
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
    // Open from construction (when the temporary image file could be created) until close()
    // or cancel().
    bool isOpen() const override { return imageFile_.isOpen(); }

    // Completes the cube as described above, the lines not added reading as zeros; the header
    // stores the number of lines added. SC_OK whatever the file operations did;
    // SC_FILE_ERROR, doing nothing, when the builder is not open.
    SCErrorCode close() override;
    // Closes and removes the temporary files; no file of the cube is written. SC_OK, or
    // SC_FILE_ERROR, doing nothing, when the builder is not open.
    SCErrorCode cancel() override;
    // The ROI image (sum of channels first ... first + count - 1, times the factor, low 16
    // bits) of the lines added so far, width x height values; lines not added read 0.
    // SC_OUT_OF_RANGE when the channels lie outside the cube; SC_FILE_ERROR, creating no file,
    // once the builder is closed or cancelled.
    SCErrorCode computeRoiImage(unsigned first, unsigned count, unsigned short* out) override;

  protected:
    SCDBuilder(const std::string& name, unsigned width, unsigned height, unsigned depth,
               float factor);

    // Writes the coded streams of the first `count` items of `reader` to `out` (open, empty)
    // and sets `offsets` to exactly `count` entries, the position of each stream.
    virtual void encodeItems(SCItemReader& reader, unsigned count,
                             std::vector<std::uint64_t>& offsets, OutputFileStream& out) = 0;
    // Codes the spectra of the temporary spectrum file into N + ".scds".
    virtual void encodeSpectrumFile();
    // Codes the channel images of the temporary image file into N + ".scdi".
    virtual void encodeImageFile();

    const std::string& name() const { return name_; }
    const SCDHeader& header() const { return header_; }
    OutputFileStream& spectrumFile() { return spectrumFile_; }
    TemporaryImageFile& imageFile() { return imageFile_; }
    SymbolCountTable& counts() { return counts_; }
    ImageRunAccumulator& accumulator() { return accumulator_; }
    unsigned linesAdded() const { return linesAdded_; }
    void countLineAdded() { ++linesAdded_; }
    // Called first by close() (discard false) and cancel() (discard true): a subclass that
    // holds lines back sends them to the temporary files, or drops them, and waits until
    // nothing works on the files any more.
    virtual void finishLines(bool /*discard*/) {}

  private:
    // The work of close().
    void completeCube();
    // Codes the items of the file `itemPath` into the data file `dataPath`.
    void encodeFile(const std::string& itemPath, unsigned itemSize, unsigned count,
                    std::vector<std::uint64_t>& offsets, const std::string& dataPath);
    void removeTemporaryFiles();

    std::string name_;                     // N, the cube's base name
    SCDHeader header_;                     // dimensions, factor; offsets and codes at close()
    TemporaryImageFile imageFile_;         // the lines in image order
    SystemOutputFileStream spectrumFile_;  // the lines as they came
    SymbolCountTable counts_;              // symbols of every spectrum and channel image
    ImageRunAccumulator accumulator_;      // counts the channel images into counts_
    unsigned linesAdded_ = 0;              // lines accepted so far
};

extern template class SCDBuilder<MultiThreadingPolicy>;

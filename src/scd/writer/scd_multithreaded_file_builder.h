#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "sc_api/processor.h"

#include "sc_api/shared_ptr.h"
#include "scd/writer/scd_builder.h"

// The SCD cube writer (see SCDBuilder) that processes each line with the library's processor.
//
// Each line is written to the temporary spectrum file (one positioned write) and counted in the
// journal before addSpectrumLine returns, so that a process that dies loses no line it was told
// was taken. For counting, lines are buffered: addSpectrumLine copies the line into a block of
// up to 32 lines (fewer when 32 would take more than 32 MiB). A full block goes to the library's
// processor (SCD::getProcessor) as two actions that run at once: one counts the spectra's
// symbols, the other appends it
// to the temporary image file with one write per channel and counts the channel-image runs.
// At most one block is in the processor while the next fills: a line that fills its block
// waits for the block before, so the memory stays at two blocks whatever the cube. Neither
// action waits for anything, so any number of builders, encodings and readers may share the
// processor without deadlock. computeRoiImage, close, cancel and the destructor first wait for
// the block in the processor; computeRoiImage adds the lines still in the filling block from
// memory, close and the destructor first send them to the files. close() codes the data files
// with encodeStreams, which uses processors of its own.
class SCDMultiThreadedFileBuilder : public SCDBuilder<MultiThreadingPolicy> {
  public:
    // A builder of the cube `name` of width x height pixels and depth channels, whose counts
    // are multiplied by `factor` when read, flushing the temporaries every syncEveryLines lines
    // (0: never; see SCDBuilder). Takes the cube's lock and creates the temporary files; check
    // isOpen().
    SCDMultiThreadedFileBuilder(const std::string& name, unsigned width, unsigned height,
                                unsigned depth, float factor, unsigned syncEveryLines = 0);

    // Adds the next line: width spectra of depth values, pixel after pixel (pixel x, channel c
    // at x * depth + c). The line is needed only until the call returns; its spectra are in the
    // temporary spectrum file, and counted in the journal, before SC_OK is returned.
    // SC_OUT_OF_RANGE, touching no file, when height lines are already added; SC_FILE_ERROR
    // when the builder is not open or close() was tried; SC_WRITE_ERROR when the line cannot be
    // stored (no line is taken after it; close() codes the lines before it). A failure of the
    // temporary image file or of the counting memory loses nothing and is not reported: close()
    // then codes the cube from the stored spectra, as SCD::recover does.
    SCErrorCode addSpectrumLine(const unsigned short* line) override;
    // As SCDBuilder's, the lines still buffered included.
    SCErrorCode computeRoiImage(unsigned first, unsigned count, unsigned short* out) override;
    ~SCDMultiThreadedFileBuilder() override;

  protected:
    // encodeStreams into `out`.
    bool encodeItems(SCItemReader& reader, unsigned count, std::vector<std::uint64_t>& offsets,
                     OutputFileStream& out) override;
    // Sends the buffered lines to the files (unless `discard`) and waits for them.
    void finishLines(bool discard) override;

  private:
    // Posts the filling block (after waiting for the one before) and starts a new one.
    void sendBlock();
    // Waits for the block in the processor.
    void waitForBlock();

    unsigned blockLines_ = 0;                     // lines per block; 0: no buffering
    std::unique_ptr<unsigned short[]> filling_;   // the block being filled
    unsigned fillingLines_ = 0;                   // lines in it
    std::unique_ptr<unsigned short[]> sent_;      // the block in the processor, if any
    lattix::lx_tuplink::ActionList sentActions_;  // its two actions
    std::atomic<int> writeError_{SC_OK};          // the first failed write of a block
};

// A new SCDMultiThreadedFileBuilder of the cube `name`, or an empty pointer when another builder
// holds the cube, its temporary files cannot be created or memory runs out. Never throws.
SharedPtr<SCFileBuilder, SCDeleteFileBuilder> makeSCDBuilder(const std::string& name,
                                                             unsigned width, unsigned height,
                                                             unsigned depth, float factor,
                                                             unsigned syncEveryLines = 0);

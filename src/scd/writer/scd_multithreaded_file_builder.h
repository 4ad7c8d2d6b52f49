#pragma once

#include <string>

#include "sc_api/shared_ptr.h"
#include "scd/writer/scd_builder.h"

// The SCD cube writer (see SCDBuilder) that processes each line with the library's processor.
//
// Threads. addSpectrumLine posts ten actions to the library's processor (SCD::getProcessor):
// one run-length counting action referenced eight times, so that up to eight workers share the
// line's spectra, the appender of the line to the temporary image file and the writer of the
// line to the temporary spectrum file. None of them waits for anything, so they hold workers
// only while they compute and write; the calling thread counts the channel-image runs
// meanwhile, then waits for the ten. Any number of builders, encodings and readers may
// therefore share the processor without deadlock. close() codes the data files with
// encodeStreams, which uses processors of its own.
class SCDMultiThreadedFileBuilder : public SCDBuilder<MultiThreadingPolicy> {
  public:
    // A builder of the cube `name` of width x height pixels and depth channels, whose counts
    // are multiplied by `factor` when read, flushing the temporaries every syncEveryLines lines
    // (0: never; see SCDBuilder). Takes the cube's lock and creates the temporary files; check
    // isOpen().
    SCDMultiThreadedFileBuilder(const std::string& name, unsigned width, unsigned height,
                                unsigned depth, float factor, unsigned syncEveryLines = 0);

    // Adds the next line: width spectra of depth values, pixel after pixel (pixel x, channel c
    // at x * depth + c). The line is needed only until the call returns. SC_OK;
    // SC_OUT_OF_RANGE, touching no file, when height lines are already added; SC_FILE_ERROR
    // when the builder is not open or close() was tried; SC_WRITE_ERROR when the line cannot
    // be stored whole, or a line failed before (see SCDBuilder); SC_ALLOCATION_ERROR when
    // memory runs out.
    SCErrorCode addSpectrumLine(const unsigned short* line) override;

  protected:
    // encodeStreams into `out`.
    bool encodeItems(SCItemReader& reader, unsigned count, std::vector<std::uint64_t>& offsets,
                     OutputFileStream& out) override;
};

// A new SCDMultiThreadedFileBuilder of the cube `name`, or an empty pointer when another builder
// holds the cube, its temporary files cannot be created or memory runs out. Never throws.
SharedPtr<SCFileBuilder, SCDeleteFileBuilder> makeSCDBuilder(const std::string& name,
                                                             unsigned width, unsigned height,
                                                             unsigned depth, float factor,
                                                             unsigned syncEveryLines = 0);

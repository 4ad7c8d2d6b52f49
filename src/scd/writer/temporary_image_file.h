#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/file_stream.h"
#include "sc_api/sc_error_code.h"

// The image-order copy of a cube kept while the cube is being counted: a file of 16-bit
// little-endian values in which the value of channel c at pixel (x, y) is at byte
// ((c * height + y) * width + x) * 2. The file is created empty and sized to the whole cube
// at once, so that rows never written (rows of zeros, lines not yet added) read as 0.
//
// Used by one thread at a time.
class TemporaryImageFile {
  public:
    // Creates the file at `path`, replacing any file of that name, and sizes it; check
    // isOpen(). A file that cannot be sized is removed again and the object is not open.
    TemporaryImageFile(const std::string& path, unsigned width, unsigned height, unsigned depth,
                       float factor);
    TemporaryImageFile(const TemporaryImageFile&) = delete;
    TemporaryImageFile& operator=(const TemporaryImageFile&) = delete;

    bool isOpen() const { return stream_.isOpen(); }
    // Closes the writing stream (the file stays); does nothing when it is not open.
    void close();
    const std::string& path() const { return path_; }
    // Lines appended so far.
    unsigned lines() const { return lines_; }

    // Stores line lines(): width spectra of depth values, pixel after pixel. Channel rows whose
    // values are all 0 are not written. SC_FILE_ERROR when the stream is not open,
    // SC_OUT_OF_RANGE when height() lines are already stored, SC_WRITE_ERROR when a write
    // fails (the line then counts as appended all the same).
    SCErrorCode appendLine(const unsigned short* line);
    // Stores `count` lines at once, as `count` calls of appendLine would, with one write per
    // channel: its rows of those lines lie back to back in the file. SC_OUT_OF_RANGE, storing
    // nothing, when they would go beyond height().
    SCErrorCode appendLines(const unsigned short* lines, unsigned count);

    // The channel rows of the lines last stored by appendLines (channel c's rows of those lines
    // start at c * count * width); valid until the next append.
    const unsigned short* lastRows() const { return rows_.data(); }

    // For callers that lay out and write a block of lines themselves, possibly from several
    // threads: claims the next `count` lines (lines() grows by count at once) and says in
    // firstLine where they start. SC_FILE_ERROR when the stream is not open, SC_OUT_OF_RANGE,
    // claiming nothing, when they would go beyond height().
    SCErrorCode claimLines(unsigned count, unsigned& firstLine);
    // Writes channels firstChannel ... endChannel - 1 of `count` claimed lines from firstLine on,
    // given as channel rows (channel c's rows start at rows + c * count * width). Channel rows
    // whose values are all 0 are not written. Calls for disjoint channel ranges may run on
    // several threads at once. SC_WRITE_ERROR when a write fails.
    SCErrorCode writeChannelRows(const unsigned short* rows, unsigned firstLine, unsigned count,
                                 unsigned firstChannel, unsigned endChannel);

    // Into out (width x height values, row-major): for each pixel the sum of channels
    // first ... first + count - 1 of the lines stored so far, times the factor, truncated, low
    // 16 bits. Reads the file through a stream of its own. SC_OUT_OF_RANGE when the channels
    // lie outside the cube; SC_FILE_ERROR, creating nothing, when the writing stream is closed
    // or the file is gone; SC_FORMAT_ERROR when the file is shorter than the cube.
    SCErrorCode computeRoiImage(unsigned first, unsigned count, unsigned short* out) const;
    // The same with `pendingCount` more lines, held in memory at `pending` (lines lines(),
    // lines() + 1, ... as appendLines takes them) and not yet appended, added to the sums.
    SCErrorCode computeRoiImage(unsigned first, unsigned count, unsigned short* out,
                                const unsigned short* pending, unsigned pendingCount) const;

  private:
    std::string path_;                  // the file
    SystemOutputFileStream stream_;     // writes the rows
    unsigned lines_ = 0;                // lines appended
    unsigned width_;                    // pixels per line
    unsigned height_;                   // lines of the cube
    unsigned depth_;                    // channels
    float factor_;                      // scale of the ROI sums
    std::vector<unsigned short> rows_;  // the lines being appended, channel after channel
};

// Opens `path` for writing as an empty file, whatever a file of that name held before. False
// when the file cannot be created.
bool openEmptyOutput(SystemOutputFileStream& stream, const std::string& path);

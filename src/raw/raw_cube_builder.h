#pragma once

#include <cstdint>
#include <string>

#include "io/file_stream.h"
#include "sc_api/sc_file_builder.h"
#include "sc_api/sc_raw_header.h"

// The life cycle shared by the two raw builders. The data file base + ".raw" starts empty;
// lines are counted, and a line beyond the header's height is refused with SC_OUT_OF_RANGE
// before anything is written; a line that cannot be written whole gives SC_WRITE_ERROR and is
// not counted (it may be sent again). close() completes the data file to its full length
// (lines never written read as zeros), then publishes the header base + ".rpl" whole, last, and
// closes; destroying an open builder does the same. Any older header is removed when the
// builder starts, so no header describes a data file being written. cancel() closes and deletes
// the data file; a cancelled or closed builder writes nothing more, and its operations return
// SC_FILE_ERROR.
class RawCubeBuilder : public SCFileBuilder {
  public:
    ~RawCubeBuilder() override;

    unsigned width() const override { return header_.width(); }
    unsigned height() const override { return header_.height(); }
    unsigned depth() const override { return header_.depth(); }
    bool isOpen() const override { return data_.isOpen(); }
    // Completes the cube. When the data file cannot be completed (SC_WRITE_ERROR) or the
    // header cannot be written (SC_FILE_ERROR, SC_WRITE_ERROR), returns that failure and stays
    // open with every line kept: close() may be tried again, or cancel().
    SCErrorCode close() override;
    SCErrorCode addSpectrumLine(const unsigned short* line) override;
    SCErrorCode cancel() override;

  protected:
    // Opens the data file of `base` empty. The builder is open when that succeeds and the
    // cube's byte length fits in 64 bits.
    RawCubeBuilder(const std::string& base, const SCRawHeader& header);

    // Writes `line` as line y of the cube; y is below height().
    virtual SCErrorCode writeLine(unsigned y, const unsigned short* line) = 0;

    SystemOutputFileStream& data() { return data_; }
    const std::string& dataPath() const { return dataPath_; }
    // Byte length of the complete data file.
    std::uint64_t dataLength() const { return dataLength_; }
    // Closes the data file and deletes it.
    void discardData();

  private:
    std::string base_;              // the cube's name, without extension
    std::string dataPath_;          // base_ + ".raw"
    SCRawHeader header_;            // what close() writes to base_ + ".rpl"
    std::uint64_t dataLength_ = 0;  // width x height x depth x 4
    SystemOutputFileStream data_;   // the data file, open until close() or cancel()
    unsigned linesWritten_ = 0;     // lines accepted so far
};

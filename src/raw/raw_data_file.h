#pragma once

#include <cstdint>
#include <string>

#include "io/file_stream.h"
#include "sc_api/sc_raw_file.h"

// The part shared by the two storage orders of a raw cube: the input stream on the data file,
// the range checks of the read primitives, and the conversions that write the cube as another
// raw file set. The subclasses place the values.
//
// The data file must hold at least width x height x depth values (the opener checks it); a
// read that nevertheless comes up short, because the file was cut while open, fails with
// SC_FORMAT_ERROR. Reads on a closed cube fail with SC_FILE_ERROR.
class RawDataFile : public SCRawFile {
  public:
    // Opens `dataPath` for reading (creating it when missing: callers check that it exists
    // first); check isOpen().
    RawDataFile(const SCRawHeader& header, const std::string& dataPath);
    ~RawDataFile() override;

    bool isOpen() override;
    SCErrorCode close() override;
    // One readSpectrums(x, y, 1) per position, in order; stops at the first failure. `outs`
    // must hold as many buffers as there are positions (else SC_OUT_OF_RANGE).
    SCErrorCode readSpectrumsAt(const std::vector<SCPixelPosition>& positions,
                                const std::vector<unsigned short*>& outs) override;
    // One readImages(channel, 1) per channel, in order; stops at the first failure.
    SCErrorCode readImagesAt(const std::vector<unsigned>& channels,
                             const std::vector<unsigned short*>& outs) override;

    // Whether the file at `path` is this cube's data file (so that writing it would destroy
    // the data being read).
    bool isDataFile(const std::string& path) const;
    // The length of the data file in bytes, or FileStream::INVALID_POSITION.
    std::uint64_t dataFileLength() const { return data_.size(); }

  protected:
    SystemInputFileStream& data() { return data_; }
    std::uint64_t pixelCount() const;
    // SC_OK when pixels (x, y) .. run on for `count` pixels lie in the cube and the file is open.
    SCErrorCode checkPixelRun(unsigned x, unsigned y, unsigned count) const;
    // SC_OK when channels first .. first+count-1 lie in the cube and the file is open.
    SCErrorCode checkChannels(unsigned first, unsigned count) const;

    // Writes the cube as the raw cube `base` in `format` line by line through a raw builder:
    // one readSpectrums per row.
    SCErrorCode saveLineByLine(const std::string& base, SCRawHeader::StorageFormat format);

  private:
    SystemInputFileStream data_;  // the ".raw" file
};

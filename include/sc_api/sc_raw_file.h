#pragma once

#include <string>

#include "sc_api/sc_file.h"
#include "sc_api/sc_raw_header.h"

// An open raw cube: the ".raw" data file described by an SCRawHeader. Every read goes to the
// file (no cache); one thread at a time. Values keep the low 16 bits of each stored 32-bit
// value. Every pixel is acquired, the version is 0 and the scale factor 1.0.
class SC_API_EXPORT SCRawFile : public SCFile {
  public:
    explicit SCRawFile(const SCRawHeader& header);
    SCRawFile(const SCRawFile& other);
    SCRawFile& operator=(const SCRawFile& other);
    ~SCRawFile() override;

    const SCRawHeader& header() const;

    unsigned width() const override;
    unsigned height() const override;
    unsigned depth() const override;
    bool isAcquired(unsigned x, unsigned y) const override;
    unsigned version() const override;
    float factor() const override;

    // Writes the whole cube as the raw cube `base` (base + ".rpl", base + ".raw") stored in
    // `format`. The output starts from an empty data file; on failure the partial output is
    // removed. SC_FILE_ERROR when this cube is closed, or the output cannot be created or is
    // this cube's own data file; the failing read's result when the data cannot be read.
    virtual SCErrorCode saveAs(const std::string& base, SCRawHeader::StorageFormat format) = 0;

  private:
    SCRawHeader header_;  // dimensions and storage order of the data file
};

// Deleter policy for SharedPtr<SCRawFile, SCDeleteRawFile>.
struct SC_API_EXPORT SCDeleteRawFile {
    static void free(SCRawFile* file);
};

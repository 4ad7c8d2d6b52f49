#pragma once

#include "sc_api/export.h"

// A source of equal-sized items of 16-bit values (a spectrum, a channel image), read block by
// block from the first item on. The SCD writers code every item of such a source into one
// stream of a data file.
class SC_API_EXPORT SCItemReader {
  public:
    SCItemReader() = default;
    SCItemReader(const SCItemReader&) = delete;
    SCItemReader& operator=(const SCItemReader&) = delete;
    virtual ~SCItemReader() = default;

    // Whether the source can be read.
    virtual bool isOpen() const = 0;
    // Releases the source; non-zero on success.
    virtual int close() = 0;
    // Values per item.
    virtual unsigned itemSize() const = 0;
    // Stores the next items, at most `count` of them, into buffer (count x itemSize() values).
    // Returns the number of whole items stored, 0 at the end of the source, or -1 when the
    // source cannot be read.
    virtual int read(unsigned short* buffer, unsigned count) = 0;
    // Goes back to the first item; false when that fails.
    virtual bool rewind() = 0;
};

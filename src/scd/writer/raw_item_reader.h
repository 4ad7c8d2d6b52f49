#pragma once

#include <string>

#include "io/file_stream.h"
#include "sc_api/sc_item_reader.h"

// Items read from a plain file of items, each itemSize() 16-bit little-endian values, one after
// another from byte 0: the temporary files of the SCD writers.
class RawItemReader : public SCItemReader {
  public:
    // A reader with no file open.
    explicit RawItemReader(unsigned itemSize) : itemSize_(itemSize) {}

    // Opens `path` for reading at its first item. Returns isOpen().
    bool open(const std::string& path);

    bool isOpen() const override { return stream_.isOpen(); }
    int close() override { return stream_.close(); }
    unsigned itemSize() const override { return itemSize_; }
    // The whole items among the next count x itemSize() values of the file (a trailing partial
    // item is not counted), or -1 when the file cannot be read. Items of 0 values are always
    // delivered: such a read gives `count`.
    int read(unsigned short* buffer, unsigned count) override;
    bool rewind() override;

  private:
    SystemInputFileStream stream_;  // the file of items
    unsigned itemSize_;             // values per item
};

#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// Bytes gathered for one write of a data file (coded streams back to back). The memory is kept
// when the buffer is cleared, so a buffer reused for chunk after chunk stops allocating once it
// has grown to the largest chunk.
class CodedStreamBuffer {
  public:
    const unsigned char* data() const { return bytes_.data(); }
    unsigned char* data() { return bytes_.data(); }
    std::size_t size() const { return size_; }
    void clear() { size_ = 0; }
    // Cuts the buffer to its first `size` bytes. REQUIRES: size <= size().
    void truncate(std::size_t size) { size_ = size; }

    // Makes at least `count` bytes writable after the first `end` ones, keeping those, and
    // returns the start of the buffer (which moves when it grows). Bytes past size() hold
    // anything until written.
    unsigned char* makeRoom(std::size_t end, std::size_t count) {
        if (bytes_.size() < end + count) {
            bytes_.resize(std::max(end + count, 2 * bytes_.size()));
        }
        return bytes_.data();
    }
    // Makes the first `size` bytes the content. REQUIRES: they were made writable.
    void setSize(std::size_t size) { size_ = size; }

  private:
    std::vector<unsigned char> bytes_;  // the writable extent; the content is its first size_
    std::size_t size_ = 0;              // bytes of content
};

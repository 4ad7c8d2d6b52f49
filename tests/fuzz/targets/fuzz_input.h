#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzz {

// Takes little-endian numbers and byte strings from the front of a fuzz input; once it is used
// up, every number reads 0 and every string is empty.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint64_t number(unsigned bytes) {
        std::uint64_t value = 0;
        for (unsigned i = 0; i < bytes && used_ < size_; ++i) {
            value |= std::uint64_t{data_[used_++]} << (8 * i);
        }
        return value;
    }
    std::string bytes(std::size_t count) {
        const std::size_t n = count < size_ - used_ ? count : size_ - used_;
        std::string taken(reinterpret_cast<const char*>(data_ + used_), n);
        used_ += n;
        return taken;
    }
    std::string rest() { return bytes(size_ - used_); }
    std::size_t left() const { return size_ - used_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t used_ = 0;
};

// Stops the program when a target finds a wrong answer, so that the fuzzer keeps the input.
inline void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// A directory of this process for targets that need files; made once.
const std::string& scratchDirectory();

}  // namespace fuzz

#pragma once

#include <cstddef>
#include <vector>

namespace test_support {

// A sample buffer with guard values on both sides, to see what a read wrote into it and that
// it wrote nowhere else.
class GuardedBuffer {
  public:
    static constexpr unsigned short kGuardValue = 0xBEEF;
    static constexpr unsigned short kUntouched = 0x5A5A;  // the default content

    explicit GuardedBuffer(std::size_t size, unsigned short fill = kUntouched);

    unsigned short* data() { return values_.data() + kGuardCount; }
    std::size_t size() const { return values_.size() - 2 * kGuardCount; }
    // count values from `first` on.
    std::vector<unsigned short> slice(std::size_t first, std::size_t count) const;
    std::vector<unsigned short> contents() const { return slice(0, size()); }
    // Whether every value still holds `fill`.
    bool holdsOnly(unsigned short fill) const;
    bool guardsIntact() const;

  private:
    static constexpr std::size_t kGuardCount = 16;
    std::vector<unsigned short> values_;  // guards, the buffer, guards
};

// Pointers to the data of each buffer, as the read primitives take them.
std::vector<unsigned short*> dataPointers(std::vector<GuardedBuffer>& buffers);

}  // namespace test_support

#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace test_support {

// A sample buffer with guard values on both sides, to see what a read wrote into it and that
// it wrote nowhere else.
class GuardedBuffer {
  public:
    static constexpr unsigned short kUntouched = 0x5A5A;  // the default content

    explicit GuardedBuffer(std::size_t size, unsigned short fill = kUntouched)
        : values_(size + 2 * kGuardCount, fill) {
        std::fill_n(values_.begin(), kGuardCount, kGuardValue);
        std::fill_n(values_.end() - kGuardCount, kGuardCount, kGuardValue);
    }

    unsigned short* data() { return values_.data() + kGuardCount; }
    std::size_t size() const { return values_.size() - 2 * kGuardCount; }
    std::vector<unsigned short> slice(std::size_t first, std::size_t count) const {
        const auto start = values_.begin() + kGuardCount + static_cast<std::ptrdiff_t>(first);
        return {start, start + static_cast<std::ptrdiff_t>(count)};
    }
    std::vector<unsigned short> contents() const { return slice(0, size()); }
    // Whether every value still holds `fill`.
    bool holdsOnly(unsigned short fill) const {
        return std::count(values_.begin() + kGuardCount, values_.end() - kGuardCount, fill) ==
               static_cast<std::ptrdiff_t>(size());
    }
    bool guardsIntact() const {
        return std::count(values_.begin(), values_.begin() + kGuardCount, kGuardValue) +
                   std::count(values_.end() - kGuardCount, values_.end(), kGuardValue) ==
               2 * kGuardCount;
    }

  private:
    static constexpr unsigned short kGuardValue = 0xBEEF;
    static constexpr std::ptrdiff_t kGuardCount = 16;
    std::vector<unsigned short> values_;  // guards, the buffer, guards
};

// Pointers to the data of each buffer, as the read primitives take them.
inline std::vector<unsigned short*> dataPointers(std::vector<GuardedBuffer>& buffers) {
    std::vector<unsigned short*> pointers;
    for (GuardedBuffer& buffer : buffers) {
        pointers.push_back(buffer.data());
    }
    return pointers;
}

}  // namespace test_support

#include "support/guarded_buffer.h"

#include <algorithm>

namespace test_support {

GuardedBuffer::GuardedBuffer(std::size_t size, unsigned short fill)
    : values_(size + 2 * kGuardCount, fill) {
    std::fill_n(values_.begin(), kGuardCount, kGuardValue);
    std::fill_n(values_.end() - kGuardCount, kGuardCount, kGuardValue);
}

std::vector<unsigned short> GuardedBuffer::slice(std::size_t first, std::size_t count) const {
    auto start = values_.begin() + static_cast<std::ptrdiff_t>(kGuardCount + first);
    return std::vector<unsigned short>(start, start + static_cast<std::ptrdiff_t>(count));
}

bool GuardedBuffer::holdsOnly(unsigned short fill) const {
    return std::all_of(values_.begin() + kGuardCount, values_.end() - kGuardCount,
                       [fill](unsigned short value) { return value == fill; });
}

bool GuardedBuffer::guardsIntact() const {
    auto isGuard = [](unsigned short value) { return value == kGuardValue; };
    return std::all_of(values_.begin(), values_.begin() + kGuardCount, isGuard) &&
           std::all_of(values_.end() - kGuardCount, values_.end(), isGuard);
}

std::vector<unsigned short*> dataPointers(std::vector<GuardedBuffer>& buffers) {
    std::vector<unsigned short*> pointers;
    for (GuardedBuffer& buffer : buffers) {
        pointers.push_back(buffer.data());
    }
    return pointers;
}

}  // namespace test_support

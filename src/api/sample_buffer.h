#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#if __has_include(<unistd.h>)
#include <unistd.h>
#endif
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

// Heap buffers for sample data whose sizes come from cube dimensions. Sizes are products of
// 32-bit dimensions, so they are computed in 64 bits and checked before anything is allocated:
// an oversized request yields a null buffer, never an exception or a wrapped size.

// a * b, or nothing when the product does not fit in 64 bits.
inline std::optional<std::uint64_t> checkedProduct(std::uint64_t a, std::uint64_t b) {
    if (b != 0 && a > std::numeric_limits<std::uint64_t>::max() / b) {
        return std::nullopt;
    }
    return a * b;
}

inline std::optional<std::uint64_t> checkedProduct(std::uint64_t a, std::uint64_t b,
                                                   std::uint64_t c) {
    const std::optional<std::uint64_t> ab = checkedProduct(a, b);
    return ab ? checkedProduct(*ab, c) : std::nullopt;
}

// `count` values of T, left uninitialised; null when the size cannot be represented or the
// memory is not available.
template <class T>
std::unique_ptr<T[]> allocateSamples(std::uint64_t count) {
    if (count >
        static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(T)) {
        return nullptr;
    }
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<std::size_t>(count)]);
}

// Frees a buffer of allocateLargeSamples.
struct LargeSamplesDeleter {
    void operator()(void* memory) const { std::free(memory); }
};
template <class T>
using LargeSamples = std::unique_ptr<T[], LargeSamplesDeleter>;

// As allocateSamples, for a buffer of megabytes filled and walked over and over (the blocks of
// an encoding): aligned to 2 MiB and, where the system offers it, backed by pages of that size,
// so that filling it takes a page fault per 2 MiB rather than per 4 KiB and walking it across
// its rows misses the address translation cache less often.
template <class T>
LargeSamples<T> allocateLargeSamples(std::uint64_t count) {
    constexpr std::uint64_t kLargePage = std::uint64_t{2} << 20;
    if (count >
        (static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max()) - kLargePage) /
            sizeof(T)) {
        return nullptr;
    }
    const std::uint64_t bytes =
        std::max<std::uint64_t>(1, (count * sizeof(T) + kLargePage - 1) / kLargePage) * kLargePage;
    void* memory = std::aligned_alloc(kLargePage, static_cast<std::size_t>(bytes));
#if defined(MADV_HUGEPAGE)
    if (memory != nullptr) {
        // Only advice: without large pages the buffer works the same.
        madvise(memory, static_cast<std::size_t>(bytes), MADV_HUGEPAGE);
    }
#endif
    return LargeSamples<T>(static_cast<T*>(memory));
}

// As allocateSamples, with every value set to zero.
template <class T>
std::unique_ptr<T[]> allocateZeroedSamples(std::uint64_t count) {
    if (count >
        static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(T)) {
        return nullptr;
    }
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<std::size_t>(count)]());
}

// Whether `bytes` could be held in memory at once: no more than the machine's physical memory,
// where the system tells it. Memory is handed out lazily, so a larger buffer may well be
// allocated and then end the process when it is filled: this is checked before such work.
inline bool fitsInMemory(std::uint64_t bytes) {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGE_SIZE)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0) {
        const auto physical =
            checkedProduct(static_cast<std::uint64_t>(pages), static_cast<std::uint64_t>(pageSize));
        return !physical || bytes <= *physical;
    }
#endif
    return true;
}

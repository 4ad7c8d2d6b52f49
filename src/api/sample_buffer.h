#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#if __has_include(<unistd.h>)
#include <unistd.h>
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

#pragma once

#include <memory>
#include <new>
#include <type_traits>
#include <utility>

// An allocator for vectors of plain values that are written right after they are made room for
// (resize(), then filled through data()): the new values are left uninitialised instead of being
// zeroed first. Anything else is constructed as std::allocator would.
template <class T>
class UninitializedAllocator : public std::allocator<T> {
  public:
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };

    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}

    template <class U>
    void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... Args>
    void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};

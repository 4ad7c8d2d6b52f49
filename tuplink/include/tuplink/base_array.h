#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>
#include <vector>

#include "tuplink/export.h"

namespace tuplink {

// A contiguous array of plain values, seen without its element type: what the transport
// needs to carry any array as bytes.
class TUPLINK_EXPORT BaseArray {
  public:
    virtual ~BaseArray() = default;

    // Number of elements.
    virtual std::size_t size() const = 0;
    // Bytes of one element.
    virtual std::size_t element_size() const = 0;
    // The elements' bytes in memory order (size() * element_size() of them).
    virtual const void* bytes() const = 0;
    // Replaces the content with `count` elements copied from `source`. Returns false, leaving
    // the array empty, when the memory cannot be had.
    virtual bool assign_bytes(const void* source, std::size_t count) = 0;
    // Removes every element.
    virtual void clear() = 0;
    bool empty() const { return size() == 0; }
};

// An array of `T` (for example float channel values): index, append, iterate, clear.
// Copies copy the elements; moves move them.
template <class T>
class TUPLINK_EXPORT Array : public BaseArray {
    static_assert(std::is_trivially_copyable_v<T>, "arrays hold plain values");

  public:
    Array() = default;
    // `count` zero elements.
    explicit Array(std::size_t count) : elements_(count) {}

    std::size_t size() const override { return elements_.size(); }
    std::size_t element_size() const override { return sizeof(T); }
    const void* bytes() const override { return elements_.data(); }
    bool assign_bytes(const void* source, std::size_t count) override {
        try {
            const T* first = static_cast<const T*>(source);
            elements_.assign(first, first + count);
            return true;
        } catch (...) {  // std::bad_alloc, std::length_error
            elements_.clear();
            return false;
        }
    }
    void clear() override { elements_.clear(); }

    T& operator[](std::size_t index) { return elements_[index]; }
    const T& operator[](std::size_t index) const { return elements_[index]; }
    T* data() { return elements_.data(); }
    const T* data() const { return elements_.data(); }
    void push_back(const T& value) { elements_.push_back(value); }
    // Grows with zero elements or shrinks to `count` elements.
    void resize(std::size_t count) { elements_.resize(count); }

    auto begin() { return elements_.begin(); }
    auto end() { return elements_.end(); }
    auto begin() const { return elements_.begin(); }
    auto end() const { return elements_.end(); }

    // Element-wise equality of the bytes: NaNs with equal bits are equal.
    friend bool operator==(const Array& a, const Array& b) {
        return a.size() == b.size() &&
               (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
    }

  private:
    std::vector<T> elements_;  // the values, in order
};

}  // namespace tuplink

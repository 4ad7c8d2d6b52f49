#pragma once

#include <atomic>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "tuplink/critical_section.h"
#include "tuplink/export.h"

namespace tuplink {

// A reference-counted object, always allocated with new. A new object holds no reference:
// hand it to an AutoRef (or attach() it) before passing it to anything that may release it.
// The release that drops the last reference destroys the object through its virtual
// destructor, on the releasing thread. Counting is atomic: references to one object may be
// attached and released on any threads at once.
class TUPLINK_EXPORT RefObject {
  public:
    RefObject() = default;
    RefObject(const RefObject&) = delete;
    RefObject& operator=(const RefObject&) = delete;

    // Adds one reference.
    virtual void attach();
    // Drops one reference; destroys the object when it was the last one.
    // REQUIRES: the caller owns one of the references.
    virtual void release();
    // The lock that guards state shared by the holders of this object. Unless a subclass
    // chooses its own, every object shares one process-wide lock that is never destroyed.
    virtual CriticalSection& get_cs();

    // References held at this moment (a snapshot, for diagnostics).
    unsigned ref_count() const { return references_.load(std::memory_order_acquire); }

  protected:
    virtual ~RefObject();

  private:
    std::atomic<unsigned> references_{0};  // references currently held
};

// Holds one reference to a RefObject (or to nothing) and drops it when destroyed. Copies hold
// references of their own; moves pass the reference on. A holder belongs to one thread at a
// time; the object it refers to may be shared by holders on many threads.
template <class T>
class TUPLINK_EXPORT AutoRef {
  public:
    AutoRef() noexcept = default;
    AutoRef(std::nullptr_t) noexcept {}
    // Takes a new reference to `object` (attach); null holds nothing.
    explicit AutoRef(T* object) : object_(object) {
        if (object_ != nullptr) {
            object_->attach();
        }
    }
    AutoRef(const AutoRef& other) : AutoRef(other.object_) {}
    AutoRef(AutoRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    AutoRef(const AutoRef<U>& other) : AutoRef(other.get()) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    AutoRef(AutoRef<U>&& other) noexcept : object_(other.detach()) {}

    ~AutoRef() {
        if (object_ != nullptr) {
            object_->release();
        }
    }

    AutoRef& operator=(const AutoRef& other) {
        AutoRef(other).swap(*this);
        return *this;
    }
    AutoRef& operator=(AutoRef&& other) noexcept {
        AutoRef(std::move(other)).swap(*this);
        return *this;
    }

    // Takes over a reference that the caller already counted (with attach); no attach here.
    static AutoRef adopt(T* object) noexcept {
        AutoRef holder;
        holder.object_ = object;
        return holder;
    }
    // Gives up the reference without releasing it; the caller now owns it.
    T* detach() noexcept { return std::exchange(object_, nullptr); }
    // Drops the current reference and takes one to `object`.
    void reset(T* object = nullptr) { AutoRef(object).swap(*this); }
    void swap(AutoRef& other) noexcept { std::swap(object_, other.object_); }

    T* get() const noexcept { return object_; }
    T* operator->() const noexcept { return object_; }
    T& operator*() const noexcept { return *object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

    friend bool operator==(const AutoRef& a, const AutoRef& b) noexcept {
        return a.object_ == b.object_;
    }
    friend bool operator==(const AutoRef& a, const T* b) noexcept { return a.object_ == b; }

  private:
    T* object_ = nullptr;  // the referred object, or null
};

// A counted reference to any counted object.
using AutoRefBase = AutoRef<RefObject>;

}  // namespace tuplink

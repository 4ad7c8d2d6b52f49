#pragma once

#include <atomic>
#include <utility>

// Reference-counted owning pointer. The deleter policy D is a struct with one static operation
// `free(T*)` that destroys the object. A SharedPtr made from null owns no count; the last
// release of a non-null pointer calls D::free exactly once. The count is atomic, so copies of
// one pointer may live on different threads (each SharedPtr object itself belongs to one thread
// at a time).
template <class T, class D>
class SharedPtr {
  public:
    SharedPtr() noexcept = default;

    explicit SharedPtr(T* object)
        : object_(object), count_(object != nullptr ? new std::atomic<unsigned>(1) : nullptr) {}

    SharedPtr(const SharedPtr& other) noexcept { share(other); }

    SharedPtr(SharedPtr&& other) noexcept
        : object_(std::exchange(other.object_, nullptr)),
          count_(std::exchange(other.count_, nullptr)) {}

    ~SharedPtr() { release(); }

    // Assigning a pointer to another object releases the old one first; assigning a pointer to
    // the object already held changes nothing.
    SharedPtr& operator=(const SharedPtr& other) noexcept {
        if (other.object_ != object_) {
            release();
            share(other);
        }
        return *this;
    }

    SharedPtr& operator=(SharedPtr&& other) noexcept {
        if (&other == this) {
            return *this;
        }
        if (other.object_ != object_) {
            release();
            object_ = std::exchange(other.object_, nullptr);
            count_ = std::exchange(other.count_, nullptr);
        } else {
            other.release();
        }
        return *this;
    }

    // Drops this pointer's share; destroys the object when it was the last one.
    void release() noexcept {
        if (object_ != nullptr) {
            if (count_->fetch_sub(1, std::memory_order_acq_rel) == 1) {
                delete count_;
                D::free(object_);
            }
        }
        object_ = nullptr;
        count_ = nullptr;
    }

    // Replaces the target by a newly owned object (which may be null); resetting to the object
    // already held changes nothing.
    void reset(T* object = nullptr) {
        if (object != object_) {
            *this = SharedPtr(object);
        }
    }

    T* get() const noexcept { return object_; }
    T* operator->() const noexcept { return object_; }
    T& operator*() const noexcept { return *object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    bool isNull() const noexcept { return object_ == nullptr; }

    // Number of pointers sharing the object; 0 for a null pointer.
    unsigned useCount() const noexcept {
        return count_ != nullptr ? count_->load(std::memory_order_acquire) : 0;
    }

  private:
    void share(const SharedPtr& other) noexcept {
        object_ = other.object_;
        count_ = other.count_;
        if (object_ != nullptr) {
            count_->fetch_add(1, std::memory_order_relaxed);
        }
    }

    T* object_ = nullptr;                     // the shared object, or null
    std::atomic<unsigned>* count_ = nullptr;  // pointers sharing object_; null with object_
};

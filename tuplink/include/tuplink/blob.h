#pragma once

#include <cstddef>
#include <memory>

#include "tuplink/export.h"

namespace tuplink {

// A byte buffer owned by the blob. Copying a blob copies its bytes; splice() moves them
// without copying. A blob received from the transport may view the bytes of the message it
// came in (share()), so that large buffers reach a method without a copy.
class TUPLINK_EXPORT Blob {
  public:
    Blob() = default;
    Blob(const Blob& other);
    Blob& operator=(const Blob& other);
    Blob(Blob&& other) noexcept;
    Blob& operator=(Blob&& other) noexcept;
    ~Blob() = default;

    // Largest size set() accepts.
    static constexpr std::size_t kMaxSize = std::size_t{1} << 40;

    // Replaces the content with `size` bytes copied from `source`, or with `size` zero bytes
    // when `source` is null. Returns false, leaving the blob empty, when `size` exceeds
    // kMaxSize or the memory cannot be had. REQUIRES: `source`, if not null, does not point
    // into this blob.
    bool set(std::size_t size, const void* source);
    // Moves the content of `source` into this blob (dropping what it held) and leaves `source`
    // empty. No byte is copied.
    void splice(Blob& source) noexcept;
    // Makes the blob view `size` bytes at `bytes` that `keeper` keeps alive.
    // REQUIRES: nothing else writes those bytes while the blob (or a splice of it) lives.
    void share(std::shared_ptr<void> keeper, std::byte* bytes, std::size_t size) noexcept;
    // Empties the blob.
    void clear() noexcept;

    std::byte* data() { return bytes_; }
    const std::byte* data() const { return bytes_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    // Byte-wise equality.
    friend bool operator==(const Blob& a, const Blob& b);

  private:
    std::shared_ptr<void> keeper_;  // owns the storage that bytes_ points into
    std::byte* bytes_ = nullptr;    // first byte, or null when empty
    std::size_t size_ = 0;          // bytes held
};

}  // namespace tuplink

#include "tuplink/blob.h"

#include <cstring>
#include <new>
#include <utility>

namespace tuplink {

Blob::Blob(const Blob& other) {
    if (!set(other.size_, other.bytes_)) {
        throw std::bad_alloc();  // copies behave like the standard containers
    }
}

Blob& Blob::operator=(const Blob& other) {
    if (this != &other) {
        Blob copy(other);
        splice(copy);
    }
    return *this;
}

Blob::Blob(Blob&& other) noexcept {
    splice(other);
}

Blob& Blob::operator=(Blob&& other) noexcept {
    if (this != &other) {
        splice(other);
    }
    return *this;
}

bool Blob::set(std::size_t size, const void* source) {
    clear();
    if (size == 0) {
        return true;
    }
    if (size > kMaxSize) {
        return false;
    }
    std::shared_ptr<std::byte[]> storage(new (std::nothrow) std::byte[size]);
    if (!storage) {
        return false;
    }
    if (source != nullptr) {
        std::memcpy(storage.get(), source, size);
    } else {
        std::memset(storage.get(), 0, size);
    }
    bytes_ = storage.get();
    size_ = size;
    keeper_ = std::move(storage);
    return true;
}

void Blob::splice(Blob& source) noexcept {
    keeper_ = std::exchange(source.keeper_, nullptr);
    bytes_ = std::exchange(source.bytes_, nullptr);
    size_ = std::exchange(source.size_, 0);
}

void Blob::share(std::shared_ptr<void> keeper, std::byte* bytes, std::size_t size) noexcept {
    keeper_ = std::move(keeper);
    bytes_ = size == 0 ? nullptr : bytes;
    size_ = size;
}

void Blob::clear() noexcept {
    keeper_.reset();
    bytes_ = nullptr;
    size_ = 0;
}

bool operator==(const Blob& a, const Blob& b) {
    return a.size_ == b.size_ && (a.size_ == 0 || std::memcmp(a.bytes_, b.bytes_, a.size_) == 0);
}

}  // namespace tuplink

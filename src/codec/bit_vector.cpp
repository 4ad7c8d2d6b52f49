#include "codec/bit_vector.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

std::unique_ptr<unsigned char[]> zeroBytes(std::uint32_t byteCount) {
    if (byteCount == 0) {
        return nullptr;
    }
    return std::make_unique<unsigned char[]>(byteCount);
}

unsigned char lastByteMask(std::uint32_t bitCount) {
    unsigned used = bitCount & 7;
    return used == 0 ? 0xFF : static_cast<unsigned char>((1u << used) - 1);
}

}  // namespace

BitVector::BitVector(std::uint32_t bitCount)
    : bitCount_(bitCount),
      byteCount_(static_cast<std::uint32_t>(bytesFor(bitCount))),
      bytes_(zeroBytes(byteCount_)) {}

BitVector::BitVector(const BitVector& other)
    : bitCount_(other.bitCount_), byteCount_(other.byteCount_), bytes_(zeroBytes(byteCount_)) {
    if (byteCount_ != 0) {
        std::memcpy(bytes_.get(), other.bytes_.get(), byteCount_);
    }
}

BitVector::BitVector(BitVector&& other) noexcept
    : bitCount_(std::exchange(other.bitCount_, 0)),
      byteCount_(std::exchange(other.byteCount_, 0)),
      bytes_(std::move(other.bytes_)) {}

BitVector& BitVector::operator=(const BitVector& other) {
    if (this != &other) {
        if (byteCount_ != other.byteCount_) {
            bytes_ = zeroBytes(other.byteCount_);
            byteCount_ = other.byteCount_;
        }
        bitCount_ = other.bitCount_;
        if (byteCount_ != 0) {
            std::memcpy(bytes_.get(), other.bytes_.get(), byteCount_);
        }
    }
    return *this;
}

BitVector& BitVector::operator=(BitVector&& other) noexcept {
    bitCount_ = std::exchange(other.bitCount_, 0);
    byteCount_ = std::exchange(other.byteCount_, 0);
    bytes_ = std::move(other.bytes_);
    return *this;
}

void BitVector::setBit(std::uint32_t index, bool value) noexcept {
    auto mask = static_cast<unsigned char>(1u << (index & 7));
    if (value) {
        bytes_[index >> 3] |= mask;
    } else {
        bytes_[index >> 3] &= static_cast<unsigned char>(~mask);
    }
}

void BitVector::assignZeros(std::uint32_t bitCount) {
    auto byteCount = static_cast<std::uint32_t>(bytesFor(bitCount));
    if (byteCount != byteCount_) {
        bytes_ = zeroBytes(byteCount);
        byteCount_ = byteCount;
    } else if (byteCount_ != 0) {
        std::memset(bytes_.get(), 0, byteCount_);
    }
    bitCount_ = bitCount;
}

void BitVector::clearUnusedBits() noexcept {
    if (byteCount_ != 0) {
        bytes_[byteCount_ - 1] &= lastByteMask(bitCount_);
    }
}

bool operator==(const BitVector& a, const BitVector& b) noexcept {
    if (a.bitCount_ != b.bitCount_) {
        return false;
    }
    if (a.byteCount_ == 0) {
        return true;
    }
    std::uint32_t whole = a.byteCount_ - 1;
    if (std::memcmp(a.bytes_.get(), b.bytes_.get(), whole) != 0) {
        return false;
    }
    unsigned char mask = lastByteMask(a.bitCount_);
    return (a.bytes_[whole] & mask) == (b.bytes_[whole] & mask);
}

void BitWriter::put(const BitVector& code) noexcept {
    const unsigned char* bytes = code.data();
    std::uint32_t remaining = code.bitCount();
    while (remaining != 0) {
        unsigned count = std::min<std::uint32_t>(remaining, 64);
        std::uint64_t word = 0;
        for (unsigned i = 0; i < (count + 7) / 8; ++i) {
            word |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
        }
        if (count < 64) {
            word &= (std::uint64_t{1} << count) - 1;
        }
        put(word, count);
        bytes += 8;
        remaining -= count;
    }
}

void BitWriter::flushWord() noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        if (end_ - next_ >= 8) {
            std::memcpy(next_, &pending_, 8);
            next_ += 8;
            return;
        }
    }
    for (unsigned i = 0; i < 8 && next_ != end_; ++i) {
        *next_++ = static_cast<unsigned char>(pending_ >> (8 * i));
    }
}

void BitWriter::finish() noexcept {
    for (unsigned i = 0; i < (pendingBits_ + 7) / 8 && next_ != end_; ++i) {
        *next_++ = static_cast<unsigned char>(pending_ >> (8 * i));
    }
    pending_ = 0;
    pendingBits_ = 0;
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

// A string of bits stored least significant bit first: bit i is bit (i mod 8) of byte i / 8.
// The byte count is always ceil(bitCount / 8). Every operation of the class keeps the unused
// high bits of the last byte 0; bytes stored through data() may set them (clearUnusedBits()
// restores the rule), but bits past bitCount() are never read as bits and operator== ignores
// them.
class BitVector {
  public:
    BitVector() noexcept = default;
    // bitCount zero bits; no storage when bitCount is 0.
    explicit BitVector(std::uint32_t bitCount);
    BitVector(const BitVector& other);
    BitVector(BitVector&& other) noexcept;
    BitVector& operator=(const BitVector& other);
    BitVector& operator=(BitVector&& other) noexcept;
    ~BitVector() = default;

    std::uint32_t bitCount() const noexcept { return bitCount_; }
    std::uint32_t byteCount() const noexcept { return byteCount_; }
    bool empty() const noexcept { return bitCount_ == 0; }

    // The byteCount() bytes of the vector; null when it holds no bit.
    unsigned char* data() noexcept { return bytes_.get(); }
    const unsigned char* data() const noexcept { return bytes_.get(); }

    // REQUIRES: index < bitCount().
    bool bit(std::uint32_t index) const noexcept {
        return ((bytes_[index >> 3] >> (index & 7)) & 1) != 0;
    }
    // REQUIRES: index < bitCount().
    void setBit(std::uint32_t index, bool value) noexcept;

    // Makes the vector bitCount zero bits. The storage is kept when the byte count does not
    // change and reallocated otherwise.
    void assignZeros(std::uint32_t bitCount);

    // Clears the bits of the last byte that lie past bitCount().
    void clearUnusedBits() noexcept;

    static std::size_t bytesFor(std::uint64_t bitCount) noexcept {
        return static_cast<std::size_t>((bitCount + 7) / 8);
    }

    // Equal when both hold the same number of bits with the same values; bits past bitCount()
    // are not compared.
    friend bool operator==(const BitVector& a, const BitVector& b) noexcept;

  private:
    std::uint32_t bitCount_ = 0;              // number of bits
    std::uint32_t byteCount_ = 0;             // ceil(bitCount_ / 8)
    std::unique_ptr<unsigned char[]> bytes_;  // byteCount_ bytes, null when byteCount_ is 0
};

// Forward cursor over the bits of a BitVector, from bit 0 to the last bit. The vector must
// outlive the cursor and not change while it is used.
class BitCursor {
  public:
    explicit BitCursor(const BitVector& bits) noexcept
        : byte_(bits.data()), remaining_(bits.bitCount()) {}

    bool atEnd() const noexcept { return remaining_ == 0; }
    std::uint32_t remaining() const noexcept { return remaining_; }

    // The current bit, after which the cursor moves on. REQUIRES: !atEnd().
    bool next() noexcept {
        if (leftInByte_ == 0) {
            current_ = *byte_++;
            leftInByte_ = 8;
        }
        bool bit = (current_ & 1) != 0;
        current_ >>= 1;
        --leftInByte_;
        --remaining_;
        return bit;
    }

  private:
    const unsigned char* byte_;  // next byte to load
    unsigned current_ = 0;       // bits of the loaded byte not yet returned, lowest first
    std::uint32_t remaining_;    // bits still to come
    unsigned leftInByte_ = 0;    // bits of the loaded byte not yet returned
};

// Writes bits at consecutive positions of a BitVector from bit 0 on, overwriting whole bytes
// through a 64-bit accumulator. The last bits reach the vector only through finish() (or the
// destructor). REQUIRES: no more bits are put than the vector holds; bits past its last byte
// are dropped, never stored elsewhere.
class BitWriter {
  public:
    explicit BitWriter(BitVector& bits) noexcept
        : next_(bits.data()), end_(bits.data() + bits.byteCount()) {}
    ~BitWriter() { finish(); }
    BitWriter(const BitWriter&) = delete;
    BitWriter& operator=(const BitWriter&) = delete;

    // Appends the count low bits of value, bit 0 first; higher bits of value must be 0.
    // REQUIRES: count <= 64.
    void put(std::uint64_t value, unsigned count) noexcept {
        if (count == 0) {
            return;
        }
        pending_ |= value << pendingBits_;
        unsigned total = pendingBits_ + count;
        if (total >= 64) {
            flushWord();
            // The bits of value that did not fit into the flushed word.
            pending_ = pendingBits_ == 0 ? 0 : value >> (64 - pendingBits_);
            pendingBits_ = total - 64;
        } else {
            pendingBits_ = total;
        }
    }

    // Appends every bit of code, bit 0 first.
    void put(const BitVector& code) noexcept;

    // Stores the bits still held in the accumulator, ending the writing: no bit may be put
    // after it. Further calls do nothing.
    void finish() noexcept;

  private:
    void flushWord() noexcept;

    unsigned char* next_;        // next byte to store
    unsigned char* end_;         // end of the vector's bytes
    std::uint64_t pending_ = 0;  // bits not yet stored, lowest first
    unsigned pendingBits_ = 0;   // number of valid bits in pending_ (< 64)
};

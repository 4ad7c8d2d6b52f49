#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/bit_vector.h"
#include "codec/huffman_tree.h"
#include "codec/scd_symbol.h"

// A Huffman tree flattened into arrays, for decoding many streams quickly. It is made once from
// a tree (which it does not keep) and then only read, by any number of threads at once. Its
// decode() gives exactly the results of HuffmanVectorDecoder over the same tree, failures and
// the symbols emitted before a failure included. It walks the same tree steps without virtual
// calls, and takes the first steps of each code from a lookup of the next bits.
class HuffmanDecodingTable {
  public:
    enum class Shape { kEmpty, kSingleLeaf, kInnerRoot };

    // The table of an empty tree.
    HuffmanDecodingTable() = default;
    // root may be null (an empty tree).
    explicit HuffmanDecodingTable(HuffmanNode<SCSymbol>* root);

    Shape shape() const noexcept { return shape_; }
    // The symbol of a single-leaf tree. REQUIRES: shape() == Shape::kSingleLeaf.
    const SCSymbol& singleSymbol() const noexcept { return leaves_.front(); }

    // Decodes the whole bit string, calling emit(symbol) for each symbol in order. emit returns
    // false to stop decoding, which then returns false. True when the string decoded into whole
    // symbols (an empty string always does).
    template <class Emit>
    bool decode(const BitVector& bits, Emit&& emit) const;

    // Appends the decoded symbols to output; the result of HuffmanVectorDecoder::decode().
    bool decode(const BitVector& bits, std::vector<SCSymbol>& output) const;

    // Bytes that must be readable after the last byte of a string given to decodeBytes; their
    // values do not matter.
    static constexpr std::size_t kBytePadding = 8;

    // decode() over the bitCount bits stored from `bytes` on (bit i is bit i % 8 of byte i / 8),
    // with the same results; it fetches bits a word at a time. Bits past bitCount are never
    // taken as bits. REQUIRES: ceil(bitCount / 8) + kBytePadding bytes readable from `bytes`.
    template <class Emit>
    bool decodeBytes(const unsigned char* bytes, std::uint32_t bitCount, Emit&& emit) const;

  private:
    static constexpr std::uint32_t kLeaf = 0x80000000u;     // marks a child that is a leaf
    static constexpr std::uint32_t kMissing = 0xFFFFFFFFu;  // a child that does not exist
    static constexpr unsigned kRootBits = 11;               // bits looked up at once at the root

    // Where the tree steps from the root along the next kRootBits bits lead: they stop at the
    // first leaf or missing child, or after kRootBits steps, at target (coded like a child)
    // after bitCount bits.
    struct RootStep {
        std::uint32_t target;
        std::uint32_t bitCount;
        SCSymbol symbol;  // the leaf's symbol when target is a leaf, saving a second lookup
        // When target is a leaf and the bits after its code hold a whole second code: that
        // code's symbol and length (0: none). Only the byte decoder takes both at once.
        SCSymbol second;
        std::uint32_t secondBits;
    };

    void buildRootSteps();
    // The kRootBits bits from position on, the first in the lowest bit.
    // REQUIRES: position + kRootBits <= bits.bitCount().
    static std::uint32_t peek(const BitVector& bits, std::uint32_t position) noexcept;

    template <class Emit>
    bool decodeBytesWithInnerRoot(const unsigned char* bytes, std::uint32_t bitCount,
                                  Emit& emit) const;
    template <class Emit>
    bool decodeWithSingleLeaf(const BitVector& bits, Emit& emit) const;
    template <class Emit>
    bool decodeWithInnerRoot(const BitVector& bits, Emit& emit) const;

    Shape shape_ = Shape::kEmpty;
    // The two children (0 branch, 1 branch) of each inner node, the root first: the index of
    // an inner node, kLeaf | the index of a leaf, or kMissing.
    std::vector<std::array<std::uint32_t, 2>> children_;
    std::vector<SCSymbol> leaves_;     // the symbols of the leaves
    std::vector<RootStep> rootSteps_;  // for each value of the next kRootBits bits, at the root
};

inline std::uint32_t HuffmanDecodingTable::peek(const BitVector& bits,
                                                std::uint32_t position) noexcept {
    const unsigned char* first = bits.data() + position / 8;
    // The bits lie in 3 bytes at most; bytes past the vector's end are not loaded.
    static_assert(kRootBits <= 17);
    std::uint32_t window = first[0];
    std::uint32_t bytesAfter = bits.byteCount() - position / 8 - 1;
    if (bytesAfter >= 1) {
        window |= std::uint32_t{first[1]} << 8;
    }
    if (bytesAfter >= 2) {
        window |= std::uint32_t{first[2]} << 16;
    }
    return (window >> (position % 8)) & ((1u << kRootBits) - 1);
}

template <class Emit>
bool HuffmanDecodingTable::decode(const BitVector& bits, Emit&& emit) const {
    if (bits.empty()) {
        return true;
    }
    switch (shape_) {
        case Shape::kSingleLeaf:
            return decodeWithSingleLeaf(bits, emit);
        case Shape::kInnerRoot:
            return decodeWithInnerRoot(bits, emit);
        case Shape::kEmpty:
            break;
    }
    return false;
}

template <class Emit>
bool HuffmanDecodingTable::decodeWithSingleLeaf(const BitVector& bits, Emit& emit) const {
    // The symbol of the first bit is emitted before that bit is checked; the later ones after.
    if (!emit(leaves_.front()) || bits.bit(0)) {
        return false;
    }
    for (std::uint32_t i = 1; i < bits.bitCount(); ++i) {
        if (bits.bit(i) || !emit(leaves_.front())) {
            return false;
        }
    }
    return true;
}

template <class Emit>
bool HuffmanDecodingTable::decodeWithInnerRoot(const BitVector& bits, Emit& emit) const {
    const std::uint32_t bitCount = bits.bitCount();
    std::uint32_t position = 0;
    std::uint32_t current = 0;
    while (position < bitCount) {
        std::uint32_t child;
        if (current == 0 && bitCount - position >= kRootBits) {
            // kRootBits tree steps from the root at once, or fewer up to a leaf or a missing child.
            const RootStep& step = rootSteps_[peek(bits, position)];
            position += step.bitCount;
            child = step.target;
        } else {
            child = children_[current][bits.bit(position++) ? 1 : 0];
        }
        if ((child & kLeaf) == 0) {
            current = child;
            continue;
        }
        if (child == kMissing || !emit(leaves_[child & ~kLeaf])) {
            return false;
        }
        current = 0;
    }
    return current == 0;
}

template <class Emit>
bool HuffmanDecodingTable::decodeBytes(const unsigned char* bytes, std::uint32_t bitCount,
                                       Emit&& emit) const {
    if (bitCount == 0) {
        return true;
    }
    switch (shape_) {
        case Shape::kSingleLeaf: {
            // As decodeWithSingleLeaf: the first symbol goes out before its bit is checked.
            if (!emit(leaves_.front()) || (bytes[0] & 1) != 0) {
                return false;
            }
            for (std::uint32_t i = 1; i < bitCount; ++i) {
                if (((bytes[i >> 3] >> (i & 7)) & 1) != 0 || !emit(leaves_.front())) {
                    return false;
                }
            }
            return true;
        }
        case Shape::kInnerRoot:
            return decodeBytesWithInnerRoot(bytes, bitCount, emit);
        case Shape::kEmpty:
            break;
    }
    return false;
}

template <class Emit>
bool HuffmanDecodingTable::decodeBytesWithInnerRoot(const unsigned char* bytes,
                                                    std::uint32_t bitCount, Emit& emit) const {
    static_assert(kRootBits <= 57, "a root lookup must fit in one unaligned word");
    static_assert(std::endian::native == std::endian::little, "bits are fetched as LE words");
    constexpr std::uint32_t kRootMask = (1u << kRootBits) - 1;
    const RootStep* rootSteps = rootSteps_.data();
    const std::array<std::uint32_t, 2>* children = children_.data();
    std::uint32_t position = 0;
    std::uint32_t current = 0;
    while (position < bitCount) {
        std::uint32_t child;
        if (current == 0 && bitCount - position >= kRootBits) {
            std::uint64_t window;
            std::memcpy(&window, bytes + (position >> 3), sizeof window);
            const RootStep& step =
                rootSteps[static_cast<std::uint32_t>(window >> (position & 7)) & kRootMask];
            position += step.bitCount;
            child = step.target;
            if ((child & kLeaf) != 0 && child != kMissing) {
                if (!emit(step.symbol)) {
                    return false;
                }
                if (step.secondBits != 0) {
                    // Both codes lie within the kRootBits bits known to be there.
                    position += step.secondBits;
                    if (!emit(step.second)) {
                        return false;
                    }
                }
                continue;
            }
        } else {
            const unsigned bit = (bytes[position >> 3] >> (position & 7)) & 1;
            ++position;
            child = children[current][bit];
        }
        if ((child & kLeaf) == 0) {
            current = child;
            continue;
        }
        if (child == kMissing || !emit(leaves_[child & ~kLeaf])) {
            return false;
        }
        current = 0;
    }
    return current == 0;
}

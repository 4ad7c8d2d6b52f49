// The coding: code tables, the decoding of arbitrary and of valid streams, round trips.
#include <algorithm>
#include <optional>
#include <vector>

#include "codec/bit_vector.h"
#include "codec/huffman_coding.h"
#include "codec/huffman_decoding_table.h"
#include "codec/run_length.h"
#include "fuzz/fuzz_targets.h"
#include "fuzz/targets/fuzz_input.h"

namespace fuzz {
namespace {

using Values = std::vector<unsigned short>;

constexpr std::size_t kGuard = 16;
constexpr unsigned short kUntouched = 0xA5A5;
// Largest stream a target codes: long enough for every path of the coder and the decoders
// (codes of every length, runs of 255, many refills of the bit buffer), short enough for
// thousands of inputs a second under the sanitizers.
constexpr std::size_t kMostValues = 1 << 13;

BitVector bitsOf(const std::string& bytes, std::uint64_t bitCount) {
    const auto bits =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(bitCount, bytes.size() * 8));
    BitVector vector(bits);
    std::copy_n(bytes.data(), vector.byteCount(), vector.data());
    vector.clearUnusedBits();
    return vector;
}

// Decodes `bits` into `count` values lying between guards, by the tree walk and by the decoding
// table: both must agree, write nothing outside the values and nothing at all when they fail.
std::optional<Values> decodeBothWays(const BitVector& bits, const HuffmanTree& tree,
                                     std::size_t count) {
    Values walked(count + 2 * kGuard, kUntouched);
    Values tabled(count + 2 * kGuard, kUntouched);
    const bool walkedOk = decodeStream(bits, tree.get(), walked.data() + kGuard, count);
    const HuffmanDecodingTable table(tree.get());
    const bool tabledOk = decodeStream(bits, table, tabled.data() + kGuard, count);
    check(walkedOk == tabledOk && walked == tabled);
    const auto untouched = [](auto first, auto last) {
        return std::all_of(first, last, [](unsigned short v) { return v == kUntouched; });
    };
    check(untouched(walked.begin(), walked.begin() + kGuard) &&
          untouched(walked.end() - kGuard, walked.end()));
    if (!walkedOk) {
        check(untouched(walked.begin(), walked.end()));
        return std::nullopt;
    }
    return Values(walked.begin() + kGuard, walked.end() - kGuard);
}

// Symbols and their counts taken from the input: up to 64 symbols of small values.
SCSymbolCounts countsFrom(FuzzInput& input) {
    SCSymbolCounts counts;
    for (std::uint64_t n = input.number(1) % 64; n != 0 && input.left() != 0; --n) {
        const auto run = static_cast<unsigned char>(1 + input.number(1) % 255);
        const auto value = static_cast<unsigned short>(input.number(1) % 16);
        counts[{run, value}] += 1 + static_cast<std::uint32_t>(input.number(2));
    }
    return counts;
}

// Values made of runs: a length byte and a value byte per run.
Values runsFrom(FuzzInput& input) {
    Values values;
    while (input.left() != 0 && values.size() < kMostValues) {
        const std::size_t length = 1 + input.number(1) * (1 + input.number(1) % 3);
        const auto value = static_cast<unsigned short>(input.number(2));
        values.insert(values.end(), std::min(length, kMostValues - values.size()), value);
    }
    return values;
}

// The code the writers would make for `values`, and the tree the readers rebuild from it.
HuffmanTree readerTreeFor(const Values& values, SCCodeTable& codes) {
    SCSymbolCounts counts;
    forEachRun(values.data(), values.size(), [&counts](const SCSymbol& s) { ++counts[s]; });
    const HuffmanTree writerTree = buildHuffmanTree(counts);
    if (writerTree) {
        computeHuffmanCodes(writerTree, codes);
    }
    return buildHuffmanTreeFromCodes(codes);
}

}  // namespace

int codeTable(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    SCCodeTable codes;
    for (std::uint64_t n = input.number(1) % 32; n != 0 && input.left() != 0; --n) {
        const SCSymbol symbol{static_cast<unsigned char>(input.number(1)),
                              static_cast<unsigned short>(input.number(2))};
        const std::uint64_t length = input.number(1) % 40;
        codes[symbol] = bitsOf(input.bytes(BitVector::bytesFor(length)), length);
    }
    const HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
    const std::size_t count = input.number(2) % 4096;
    decodeBothWays(bitsOf(input.rest(), ~0ull), tree, count);
    return 0;
}

int streamDecode(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    SCCodeTable codes;
    const HuffmanTree writerTree = buildHuffmanTree(countsFrom(input));
    if (writerTree) {
        computeHuffmanCodes(writerTree, codes);
    }
    const HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
    check(codes.empty() || static_cast<bool>(tree));
    const std::size_t count = input.number(2) % 4096;
    decodeBothWays(bitsOf(input.rest(), ~0ull), tree, count);
    return 0;
}

int streamRoundTrip(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const Values values = runsFrom(input);
    SCCodeTable codes;
    const HuffmanTree tree = readerTreeFor(values, codes);
    BitVector stream;
    check(encodeValues(values.data(), values.size(), codes, stream));
    const std::optional<Values> decoded = decodeBothWays(stream, tree, values.size());
    check(decoded.has_value() && *decoded == values);
    return 0;
}

int streamDestinationTooSmall(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint64_t shortBy = 1 + input.number(2);
    const Values values = runsFrom(input);
    if (values.empty()) {
        return 0;
    }
    SCCodeTable codes;
    const HuffmanTree tree = readerTreeFor(values, codes);
    BitVector stream;
    check(encodeValues(values.data(), values.size(), codes, stream));
    const std::size_t count = values.size() - std::min<std::uint64_t>(shortBy, values.size());
    check(!decodeBothWays(stream, tree, count).has_value());
    return 0;
}

}  // namespace fuzz

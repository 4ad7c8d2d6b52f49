#include "support/codec_bits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "codec/run_length.h"
#include "sc_api/sc_error_code.h"

namespace test_support {

BitVector bitsFromText(std::string_view text) {
    BitVector bits(static_cast<std::uint32_t>(text.size() - std::ranges::count(text, ' ')));
    std::uint32_t next = 0;
    for (char c : text) {
        if (c != ' ') {
            bits.setBit(next++, c == '1');
        }
    }
    return bits;
}

std::string bitsToText(const BitVector& bits) {
    std::string text;
    for (std::uint32_t i = 0; i < bits.bitCount(); ++i) {
        text += bits.bit(i) ? '1' : '0';
    }
    return text;
}

SCCodeTable codeTable(std::initializer_list<std::pair<SCSymbol, std::string_view>> codes) {
    SCCodeTable table;
    for (const auto& [symbol, text] : codes) {
        table[symbol] = bitsFromText(text);
    }
    return table;
}

SCSymbolCounts countSymbols(const std::vector<std::vector<unsigned short>>& sequences) {
    SCSymbolCounts counts;
    for (const auto& values : sequences) {
        forEachRun(values.data(), values.size(), [&counts](const SCSymbol& s) { ++counts[s]; });
    }
    return counts;
}

std::vector<unsigned short> randomRuns(std::mt19937& random, std::size_t count) {
    static constexpr unsigned short kAlphabet[] = {0, 1, 2, 7, 300, 65535};
    std::uniform_int_distribution<int> pick(0, 7);
    std::uniform_int_distribution<int> runLength(1, 600);
    std::uniform_int_distribution<int> anyValue(0, 65535);
    std::vector<unsigned short> values;
    while (values.size() < count) {
        int choice = pick(random);
        auto value = static_cast<unsigned short>(choice < 6 ? kAlphabet[choice] : anyValue(random));
        // Short runs are the most frequent; long ones cross the 255 limit.
        int length = pick(random) < 5 ? 1 + pick(random) : runLength(random);
        for (int i = 0; i < length && values.size() < count; ++i) {
            values.push_back(value);
        }
    }
    return values;
}

BitVector randomBits(std::mt19937& random, std::uint32_t bitCount) {
    BitVector bits(bitCount);
    for (std::uint32_t i = 0; i < bitCount; ++i) {
        bits.setBit(i, (random() & 1) != 0);
    }
    return bits;
}

ByteWriter& ByteWriter::bits(const BitVector& bits) {
    std::string packed((bits.bitCount() + 7) / 8, '\0');
    for (std::uint32_t i = 0; i < bits.bitCount(); ++i) {
        packed[i / 8] = static_cast<char>(packed[i / 8] | (bits.bit(i) ? 1 << (i % 8) : 0));
    }
    bytes_ += packed;
    return *this;
}

ByteWriter& ByteWriter::put(std::uint64_t value, unsigned size) {
    for (unsigned i = 0; i < size; ++i) {
        bytes_ += static_cast<char>(value >> (8 * i));
    }
    return *this;
}

std::optional<std::vector<unsigned short>> decodeGuarded(const BitVector& bits,
                                                         const HuffmanTree& tree,
                                                         std::size_t count) {
    constexpr std::size_t kGuard = 8;
    std::vector<unsigned short> walked(count + 2 * kGuard, 0xA5A5);
    std::vector<unsigned short> flat = walked;
    std::vector<unsigned short> expected = walked;  // the guards, and the values when decoded
    bool ok = decodeStream(bits, tree.get(), walked.data() + kGuard, count);
    EXPECT_EQ(decodeStream(bits, HuffmanDecodingTable(tree.get()), flat.data() + kGuard, count),
              ok);
    std::copy_n(walked.begin() + kGuard, ok ? count : 0, expected.begin() + kGuard);
    EXPECT_EQ(walked, expected);
    EXPECT_EQ(flat, expected);
    return ok ? std::optional(std::vector(expected.begin() + kGuard, expected.end() - kGuard))
              : std::nullopt;
}

int readHeaderBytes(const std::string& bytes, SCDHeader& header) {
    std::istringstream in(bytes);
    return header.read(in);
}

std::string headerBytes(const SCDHeader& header) {
    std::ostringstream out;
    EXPECT_EQ(header.write(out), SC_OK);
    return out.str();
}

}  // namespace test_support

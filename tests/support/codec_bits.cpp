#include "support/codec_bits.h"

#include <algorithm>
#include <bit>

#include "scd/run_length.h"

namespace test_support {

BitVector bitsFromText(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c != ' ') {
            digits += c;
        }
    }
    BitVector bits(static_cast<std::uint32_t>(digits.size()));
    for (std::size_t i = 0; i < digits.size(); ++i) {
        bits.setBit(static_cast<std::uint32_t>(i), digits[i] == '1');
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

ByteWriter& ByteWriter::f32(float value) {
    return u32(std::bit_cast<std::uint32_t>(value));
}

ByteWriter& ByteWriter::bytes(const std::vector<unsigned char>& bytes) {
    bytes_.append(bytes.begin(), bytes.end());
    return *this;
}

ByteWriter& ByteWriter::bits(const BitVector& bits) {
    std::string packed((bits.bitCount() + 7) / 8, '\0');
    for (std::uint32_t i = 0; i < bits.bitCount(); ++i) {
        if (bits.bit(i)) {
            packed[i / 8] = static_cast<char>(packed[i / 8] | (1 << (i % 8)));
        }
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

ForwardOnlyInput::Buffer::Buffer(std::string bytes) : bytes_(std::move(bytes)) {
    setg(bytes_.data(), bytes_.data(), bytes_.data() + bytes_.size());
}

ForwardOnlyInput::ForwardOnlyInput(std::string bytes)
    : std::istream(nullptr), buffer_(std::move(bytes)) {
    rdbuf(&buffer_);
}

LimitedOutput::LimitedOutput(std::size_t capacity) : std::ostream(nullptr) {
    buffer_.capacity = capacity;
    rdbuf(&buffer_);
}

LimitedOutput::Buffer::int_type LimitedOutput::Buffer::overflow(int_type c) {
    if (c == traits_type::eof()) {
        return traits_type::not_eof(c);
    }
    char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize LimitedOutput::Buffer::xsputn(const char* bytes, std::streamsize count) {
    auto accepted =
        std::min<std::streamsize>(count, static_cast<std::streamsize>(capacity - written.size()));
    written.append(bytes, static_cast<std::size_t>(accepted));
    return accepted;
}

}  // namespace test_support

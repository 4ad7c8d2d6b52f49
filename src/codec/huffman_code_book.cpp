#include "codec/huffman_code_book.h"

#include <algorithm>

HuffmanCodeBook::HuffmanCodeBook(const SCCodeTable& codes) {
    codes_.reserve(codes.size());
    for (const auto& [symbol, bits] : codes) {
        codes_[key(symbol)] = Code{bits.bitCount(), words_.size()};
        for (std::uint32_t first = 0; first < bits.bitCount(); first += 64) {
            std::uint64_t word = 0;
            std::uint32_t end = std::min<std::uint32_t>(bits.bitCount() - first, 64);
            for (std::uint32_t i = 0; i < end; ++i) {
                word |= static_cast<std::uint64_t>(bits.bit(first + i)) << i;
            }
            words_.push_back(word);
        }
    }
}

const HuffmanCodeBook::Code* HuffmanCodeBook::find(const SCSymbol& symbol) const {
    auto found = codes_.find(key(symbol));
    return found == codes_.end() ? nullptr : &found->second;
}

void HuffmanCodeBook::put(const Code& code, BitWriter& writer) const {
    const std::uint64_t* word = words_.data() + code.firstWord;
    std::uint32_t remaining = code.bitCount;
    if (remaining == 0) {
        return;
    }
    for (; remaining > 64; remaining -= 64) {
        writer.put(*word++, 64);
    }
    writer.put(*word, remaining);
}

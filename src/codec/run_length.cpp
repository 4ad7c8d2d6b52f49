#include "codec/run_length.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

// Encodes with find(symbol) -> pointer to its code or null, bitCount(code) and
// put(code, writer), keeping the codes in `sequence` between the two passes; the two code
// representations share everything else.
template <class Find, class BitCount, class Put, class CodePtr>
EncodeResult encodeWith(const unsigned short* values, std::size_t count, BitVector& stream,
                        std::vector<CodePtr>& sequence, Find find, BitCount bitCount, Put put) {
    sequence.clear();
    std::uint64_t streamBits = 0;
    bool complete = true;
    forEachRun(values, count, [&](const SCSymbol& symbol) {
        CodePtr code = complete ? find(symbol) : nullptr;
        if (code == nullptr) {
            complete = false;
            return;
        }
        sequence.push_back(code);
        streamBits += bitCount(*code);
    });
    if (!complete || streamBits > std::numeric_limits<std::uint32_t>::max()) {
        stream.assignZeros(0);
        return complete ? EncodeResult::kTooLong : EncodeResult::kMissingCode;
    }
    stream.assignZeros(static_cast<std::uint32_t>(streamBits));
    BitWriter writer(stream);
    for (CodePtr code : sequence) {
        put(*code, writer);
    }
    writer.finish();
    return EncodeResult::kEncoded;
}

bool allZero(const BitVector& bits) {
    std::uint32_t last = bits.byteCount() - 1;
    for (std::uint32_t i = 0; i < last; ++i) {
        if (bits.data()[i] != 0) {
            return false;
        }
    }
    unsigned lastBits = bits.bitCount() - 8 * last;
    auto lastMask = static_cast<unsigned char>((1u << lastBits) - 1);
    return (bits.data()[last] & lastMask) == 0;
}

// A single-leaf tree decodes n zero bits, n > 0, into n copies of its symbol.
bool decodeWithSingleLeaf(const BitVector& bits, const SCSymbol& symbol,
                          unsigned short* destination, std::size_t count) {
    if (!allZero(bits) || std::uint64_t{bits.bitCount()} * symbol.first != count) {
        return false;
    }
    std::fill_n(destination, count, symbol.second);
    return true;
}

void writeRuns(const std::vector<SCSymbol>& symbols, unsigned short* destination) {
    for (const SCSymbol& symbol : symbols) {
        destination = std::fill_n(destination, symbol.first, symbol.second);
    }
}

}  // namespace

void runLengthEncode(const unsigned short* values, std::size_t count,
                     std::vector<SCSymbol>& symbols) {
    forEachRun(values, count, [&symbols](const SCSymbol& symbol) { symbols.push_back(symbol); });
}

bool encodeValues(const unsigned short* values, std::size_t count, const SCCodeTable& codes,
                  BitVector& stream) {
    std::vector<const BitVector*> sequence;
    const EncodeResult result = encodeWith(
        values, count, stream, sequence,
        [&codes](const SCSymbol& symbol) -> const BitVector* {
            auto entry = codes.find(symbol);
            return entry == codes.end() ? nullptr : &entry->second;
        },
        [](const BitVector& code) { return code.bitCount(); },
        [](const BitVector& code, BitWriter& writer) { writer.put(code); });
    return result == EncodeResult::kEncoded;
}

bool encodeValues(const unsigned short* values, std::size_t count, const HuffmanCodeBook& codes,
                  BitVector& stream) {
    std::vector<const HuffmanCodeBook::Code*> sequence;
    return encodeValues(values, count, codes, sequence, stream) == EncodeResult::kEncoded;
}

EncodeResult encodeValues(const unsigned short* values, std::size_t count,
                          const HuffmanCodeBook& codes,
                          std::vector<const HuffmanCodeBook::Code*>& sequence, BitVector& stream) {
    return encodeWith(
        values, count, stream, sequence,
        [&codes](const SCSymbol& symbol) { return codes.find(symbol); },
        [](const HuffmanCodeBook::Code& code) { return code.bitCount; },
        [&codes](const HuffmanCodeBook::Code& code, BitWriter& writer) {
            codes.put(code, writer);
        });
}

bool expandRuns(const std::vector<SCSymbol>& symbols, unsigned short* destination,
                std::size_t count) {
    std::uint64_t total = 0;
    for (const SCSymbol& symbol : symbols) {
        total += symbol.first;
    }
    if (total != count) {
        return false;
    }
    writeRuns(symbols, destination);
    return true;
}

bool decodeStream(const BitVector& bits, HuffmanNode<SCSymbol>* root, unsigned short* destination,
                  std::size_t count) {
    std::vector<SCSymbol> symbols;
    HuffmanVectorDecoder<SCSymbol> decoder(bits, symbols, root);
    return decoder.decode() && expandRuns(symbols, destination, count);
}

bool decodeStream(const BitVector& bits, const HuffmanDecodingTable& table,
                  unsigned short* destination, std::size_t count, std::vector<SCSymbol>& scratch) {
    if (table.shape() == HuffmanDecodingTable::Shape::kSingleLeaf && !bits.empty()) {
        return decodeWithSingleLeaf(bits, table.singleSymbol(), destination, count);
    }
    scratch.clear();
    std::uint64_t total = 0;
    bool decoded = table.decode(bits, [&](const SCSymbol& symbol) {
        total += symbol.first;
        if (total > count) {
            return false;
        }
        if (symbol.first != 0) {
            scratch.push_back(symbol);
        }
        return true;
    });
    if (!decoded || total != count) {
        return false;
    }
    writeRuns(scratch, destination);
    return true;
}

bool decodeStream(const BitVector& bits, const HuffmanDecodingTable& table,
                  unsigned short* destination, std::size_t count) {
    std::vector<SCSymbol> scratch;
    return decodeStream(bits, table, destination, count, scratch);
}

bool decodeStreamBytes(const unsigned char* bytes, std::uint32_t bitCount,
                       const HuffmanDecodingTable& table, unsigned short* destination,
                       std::size_t count, std::vector<SCSymbol>& scratch) {
    scratch.clear();
    const bool whole = forEachDecodedRun(bytes, bitCount, table, count,
                                         [&scratch](unsigned char run, unsigned short value) {
                                             if (run != 0) {
                                                 scratch.emplace_back(run, value);
                                             }
                                         });
    if (!whole) {
        return false;
    }
    writeRuns(scratch, destination);
    return true;
}

bool addStreamValues(const unsigned char* bytes, std::uint32_t bitCount,
                     const HuffmanDecodingTable& table, std::uint64_t* sums, std::size_t count) {
    std::uint64_t* next = sums;
    return forEachDecodedRun(bytes, bitCount, table, count,
                             [&next](unsigned char run, unsigned short value) {
                                 if (value != 0) {
                                     for (unsigned i = 0; i < run; ++i) {
                                         next[i] += value;
                                     }
                                 }
                                 next += run;
                             });
}

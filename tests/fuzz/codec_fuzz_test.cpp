// Robustness of the codec against damaged input: header files with random damage, code tables
// and bit strings drawn at random. Every case must end in a documented result without a crash,
// a hang or a write outside a buffer (these tests run under AddressSanitizer in CI).

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "sc_api/sc_error_code.h"
#include "scd/huffman_coding.h"
#include "scd/huffman_decoding_table.h"
#include "scd/run_length.h"
#include "scd/scd_header.h"
#include "support/codec_bits.h"

namespace {

using Values = std::vector<unsigned short>;

std::string written(const SCDHeader& header) {
    std::ostringstream out;
    EXPECT_EQ(header.write(out), SC_OK);
    return out.str();
}

// A valid header file with a few hundred offsets and a real code table.
std::string seedHeader(std::mt19937& random) {
    SCDHeader header(12, 10, 9, 7, 0.5f);
    std::uint64_t offset = 0;
    for (int i = 0; i < 12 * 7; ++i) {
        header.spectrumOffsets().push_back(offset += random() % 300);
    }
    for (int i = 0; i < 9; ++i) {
        header.imageOffsets().push_back(offset += random() % 3000);
    }
    std::vector<Values> streams;
    for (int i = 0; i < 20; ++i) {
        streams.push_back(test_support::randomRuns(random, 400));
    }
    computeHuffmanCodes(buildHuffmanTree(test_support::countSymbols(streams)), header.codes());
    return written(header);
}

void mutate(std::mt19937& random, std::string& bytes) {
    static constexpr std::uint32_t kExtremes[] = {0, 1, 7, 8, 32, 64, 0x7FFFFFFF, 0xFFFFFFFF};
    switch (random() % 5) {
        case 0:
            if (!bytes.empty()) {
                bytes[random() % bytes.size()] ^= static_cast<char>(1 << (random() % 8));
            }
            break;
        case 1:
            if (bytes.size() >= 4) {
                std::uint32_t value = kExtremes[random() % 8];
                std::size_t at = random() % (bytes.size() - 3);
                for (int i = 0; i < 4; ++i) {
                    bytes[at + i] = static_cast<char>(value >> (8 * i));
                }
            }
            break;
        case 2:
            bytes.resize(random() % (bytes.size() + 1));
            break;
        case 3:
            bytes.insert(random() % (bytes.size() + 1), 1 + random() % 8,
                         static_cast<char>(random()));
            break;
        default:
            if (!bytes.empty()) {
                bytes.erase(random() % bytes.size(), 1 + random() % 8);
            }
            break;
    }
}

// Reads bytes through a seekable and a forward-only stream and checks what came out; counts the
// results in outcomes (accepted, refused).
void readAndCheck(const std::string& bytes, std::pair<int, int>& outcomes) {
    SCDHeader header;
    std::istringstream seekable(bytes);
    int result = header.read(seekable);
    ++(result == SC_OK ? outcomes.first : outcomes.second);
    ASSERT_TRUE(result == SC_OK || result == SC_FORMAT_ERROR);
    SCDHeader again;
    test_support::ForwardOnlyInput forwardOnly(bytes);
    ASSERT_EQ(again.read(forwardOnly), result);
    if (result != SC_OK) {
        return;
    }
    ASSERT_EQ(header.spectrumOffsets().size(),
              std::uint64_t{header.width()} * header.acquiredLines());
    ASSERT_EQ(header.imageOffsets().size(), header.depth());
    std::string rewritten = written(header);
    ASSERT_EQ(written(again), rewritten);
    SCDHeader third;
    std::istringstream back(rewritten);
    ASSERT_EQ(third.read(back), SC_OK);
    ASSERT_EQ(written(third), rewritten);
}

// Decodes with the tree walk and with the table into guarded buffers; both must agree, leave
// the destination untouched on failure and never write past it. Counts the results in outcomes
// (decoded, failed).
void decodeAndCheck(const BitVector& bits, const HuffmanTree& tree,
                    const HuffmanDecodingTable& table, std::size_t count,
                    std::pair<int, int>& outcomes) {
    constexpr std::size_t kGuard = 16;
    constexpr unsigned short kFill = 0xA5A5;
    Values walked(count + 2 * kGuard, kFill);
    Values flat(count + 2 * kGuard, kFill);
    bool walkedOk = decodeStream(bits, tree.get(), walked.data() + kGuard, count);
    bool flatOk = decodeStream(bits, table, flat.data() + kGuard, count);
    ASSERT_EQ(flatOk, walkedOk);
    ++(flatOk ? outcomes.first : outcomes.second);
    ASSERT_EQ(flat, walked);
    for (std::size_t i = 0; i < kGuard; ++i) {
        ASSERT_EQ(flat[i], kFill);
        ASSERT_EQ(flat[flat.size() - 1 - i], kFill);
    }
    if (!flatOk) {
        ASSERT_EQ(flat, Values(count + 2 * kGuard, kFill));
    }
}

// A code table of random codes: mostly refused, sometimes an incomplete or a complete code.
SCCodeTable randomCodeTable(std::mt19937& random) {
    SCCodeTable codes;
    int entries = static_cast<int>(random() % 12);
    for (int i = 0; i < entries; ++i) {
        SCSymbol symbol(static_cast<unsigned char>(random() % 4),
                        static_cast<unsigned short>(random() % 5));
        codes[symbol] = test_support::randomBits(random, random() % 6);
    }
    return codes;
}

// The codes of a few random entries of the table, one after another.
BitVector concatenatedCodes(std::mt19937& random, const SCCodeTable& codes) {
    std::string text;
    for (unsigned n = codes.empty() ? 0 : random() % 6; n != 0; --n) {
        auto entry = std::next(codes.begin(), random() % codes.size());
        text += test_support::bitsToText(entry->second);
    }
    return test_support::bitsFromText(text);
}

}  // namespace

TEST(CodecFuzzTest, HeaderReadSurvivesDamagedFiles) {
    std::mt19937 random(31);
    std::string seed = seedHeader(random);
    std::pair<int, int> outcomes;
    for (int round = 0; round < 1500; ++round) {
        std::string bytes = seed;
        for (unsigned damage = 1 + random() % 4; damage != 0; --damage) {
            mutate(random, bytes);
        }
        ASSERT_NO_FATAL_FAILURE(readAndCheck(bytes, outcomes)) << "round " << round;
    }
    EXPECT_GT(outcomes.first, 100) << "damage that leaves a readable header";
    EXPECT_GT(outcomes.second, 100);
}

TEST(CodecFuzzTest, HeaderReadSurvivesRandomBytes) {
    std::mt19937 random(37);
    std::pair<int, int> outcomes;
    for (int round = 0; round < 1500; ++round) {
        test_support::ByteWriter file;
        if (round % 2 == 0) {
            file.u32(0x53434446).u32(random()).u32(1);
        }
        for (unsigned words = random() % 40; words != 0; --words) {
            file.u32(random() % 3 == 0 ? random() % 16 : random());
        }
        ASSERT_NO_FATAL_FAILURE(readAndCheck(file.str(), outcomes)) << "round " << round;
    }
    EXPECT_GT(outcomes.second, 1000);
}

TEST(CodecFuzzTest, DecodingSurvivesRandomTablesAndBits) {
    std::mt19937 random(41);
    std::pair<int, int> outcomes;
    for (int round = 0; round < 3000; ++round) {
        SCCodeTable codes = randomCodeTable(random);
        HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
        HuffmanDecodingTable table(tree.get());
        BitVector bits = round % 2 == 0 ? test_support::randomBits(random, random() % 40)
                                        : concatenatedCodes(random, codes);
        // Mostly the size that the decoded runs fill, so that decoding can succeed.
        std::vector<SCSymbol> symbols;
        HuffmanVectorDecoder<SCSymbol>(bits, symbols, tree.get()).decode();
        std::size_t count = 0;
        for (const SCSymbol& symbol : symbols) {
            count += symbol.first;
        }
        count = random() % 4 == 0 ? random() % 40 : count;
        ASSERT_NO_FATAL_FAILURE(decodeAndCheck(bits, tree, table, count, outcomes))
            << "round " << round;
    }
    EXPECT_GT(outcomes.first, 100);
    EXPECT_GT(outcomes.second, 100);
}

TEST(CodecFuzzTest, DamagedStreamsOfARealCodeDecodeSafely) {
    std::mt19937 random(43);
    std::vector<Values> streams;
    for (int i = 0; i < 30; ++i) {
        streams.push_back(test_support::randomRuns(random, random() % 700));
    }
    SCCodeTable codes;
    computeHuffmanCodes(buildHuffmanTree(test_support::countSymbols(streams)), codes);
    HuffmanTree tree = buildHuffmanTreeFromCodes(codes);
    HuffmanDecodingTable table(tree.get());
    std::pair<int, int> outcomes;
    for (int round = 0; round < 600; ++round) {
        const Values& values = streams[random() % streams.size()];
        BitVector bits;
        ASSERT_TRUE(encodeValues(values.data(), values.size(), codes, bits));
        if (round % 4 != 0 && bits.bitCount() != 0) {
            // Flip a bit, or drop the last few bits.
            std::uint32_t at = random() % bits.bitCount();
            if (random() % 2 == 0) {
                bits.setBit(at, !bits.bit(at));
            } else {
                BitVector shorter(at);
                for (std::uint32_t i = 0; i < at; ++i) {
                    shorter.setBit(i, bits.bit(i));
                }
                bits = shorter;
            }
        }
        std::size_t count = values.size() + (round % 5 == 0 ? random() % 3 : 0);
        ASSERT_NO_FATAL_FAILURE(decodeAndCheck(bits, tree, table, count, outcomes))
            << "round " << round;
    }
    EXPECT_GT(outcomes.first, 100);
    EXPECT_GT(outcomes.second, 100);
}

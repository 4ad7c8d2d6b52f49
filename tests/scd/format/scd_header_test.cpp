#include "scd/format/scd_header.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "sc_api/sc_error_code.h"
#include "sc_api/scd.h"
#include "support/codec_bits.h"

using namespace test_support;

namespace {

const SCCodeTable kCodes =
    codeTable({{{1, 0}, "0"}, {{3, 7}, "10"}, {{255, 65535}, "110 1011 0101"}});
const std::vector<std::uint64_t> kImageOffsets = {0, 9, 20, 31};
constexpr std::size_t kEntryCountAt = 36 + 4 * 3 + 4 * 4;  // with 4-byte index entries

// A header file laid out field by field, independently of SCDHeader::write: a cube of 3 x 2
// pixels, 1 acquired line and 4 channels, the factor 2.5, kImageOffsets and kCodes.
std::string headerFile(std::uint32_t indexWidth = SCD::INDEX32,
                       const std::vector<std::uint64_t>& spectrumOffsets = {0, 11, 30}) {
    ByteWriter file;
    file.u32(SCD::MAGIC_NUMBER).u32(SCD::VERSION).u32(SCD::SIMPLE_HEADER).u32(indexWidth);
    file.u32(3).u32(2).u32(4).u32(1).f32(2.5f);
    for (const auto* offsets : {&spectrumOffsets, &kImageOffsets}) {
        for (std::uint64_t offset : *offsets) {
            indexWidth == SCD::INDEX32 ? file.u32(static_cast<std::uint32_t>(offset))
                                       : file.u64(offset);
        }
    }
    file.u32(static_cast<std::uint32_t>(kCodes.size()));
    for (const auto& [symbol, code] : kCodes) {
        file.u8(symbol.first).u16(symbol.second).u32(code.bitCount()).bits(code);
    }
    return file.str();
}

// The bytes with 32-bit words replaced: (byte offset, new value) pairs.
std::string patched(std::string bytes,
                    std::initializer_list<std::pair<std::size_t, std::uint32_t>> words) {
    for (auto [at, value] : words) {
        bytes.replace(at, 4, ByteWriter().u32(value).str());
    }
    return bytes;
}

SCDHeader readOk(const std::string& bytes) {
    SCDHeader header;
    EXPECT_EQ(readHeaderBytes(bytes, header), SC_OK);
    return header;
}

}  // namespace

TEST(SCDHeaderTest, ReadsAndWritesTheBytesOfAnIndependentlyLaidOutFile) {
    std::string bytes = headerFile();
    ASSERT_EQ(bytes.size(), kEntryCountAt + 4 + (7 + 1) + (7 + 1) + (7 + 2));
    SCDHeader header = readOk(bytes);
    EXPECT_EQ(std::tuple(header.width(), header.height(), header.depth(), header.acquiredLines(),
                         header.factor()),
              std::tuple(3u, 2u, 4u, 1u, 2.5f));
    EXPECT_EQ(header.spectrumOffsets(), (std::vector<std::uint64_t>{0, 11, 30}));
    EXPECT_EQ(header.imageOffsets(), kImageOffsets);
    EXPECT_EQ(header.codes(), kCodes);
    EXPECT_EQ(headerBytes(header), bytes);
    EXPECT_EQ(readHeaderBytes(patched(bytes, {{4, 7}}), header), SC_OK) << "version";
}

TEST(SCDHeaderTest, WriteReadWriteGivesIdenticalBytesWithEightByteEntriesFrom2To32) {
    for (std::uint64_t last : {0xFFFFFFFFull, 0x100000000ull}) {
        for (bool inImages : {false, true}) {
            SCDHeader header(2, 1, 1, 1, 1.0f);
            header.spectrumOffsets() = {0, inImages ? 5 : last};
            header.imageOffsets() = {inImages ? last : 5};
            header.codes() = kCodes;
            std::string bytes = headerBytes(header);
            EXPECT_EQ(bytes.size(), 36u + (last > 0xFFFFFFFF ? 8 : 4) * 3 + 4 + 8 + 8 + 9);
            EXPECT_EQ(headerBytes(readOk(bytes)), bytes);
        }
    }
    // Any index width but 32 is read as 8-byte entries.
    for (std::uint32_t indexWidth : {SCD::INDEX64, 0u, 33u, 0xFFFFFFFFu}) {
        std::vector<std::uint64_t> offsets = {0, 0x100000000ull, 0xFFFFFFFFFFFFFFFFull};
        SCDHeader header = readOk(headerFile(indexWidth, offsets));
        EXPECT_EQ(header.spectrumOffsets(), offsets) << indexWidth;
        EXPECT_EQ(header.imageOffsets(), kImageOffsets) << indexWidth;
    }
}

TEST(SCDHeaderTest, RefusesForeignFilesAndCountsTheFileCannotHoldBeforeTakingMemory) {
    constexpr std::uint32_t kHuge = 0xFFFFFFFF;
    std::string file = headerFile();
    SCDHeader header;
    for (std::string bytes :
         {patched(file, {{0, 0x46444353}}),  // magic
          patched(file, {{8, SCD::NOT_A_HEADER}}), patched(file, {{8, SCD::FRAGMENTED_HEADER}}),
          patched(file, {{8, 3}}), patched(file, {{16, kHuge}, {28, kHuge}}),  // width x lines
          patched(file, {{12, SCD::INDEX64}, {16, kHuge}, {28, kHuge}}),
          patched(file, {{24, kHuge}}),                    // depth
          patched(file, {{kEntryCountAt, kHuge}}),         // code entries
          patched(file, {{kEntryCountAt + 7, kHuge}})}) {  // bits of a code
        EXPECT_EQ(readHeaderBytes(bytes, header), SC_FORMAT_ERROR);
    }
    for (std::size_t length = 0; length < file.size(); ++length) {
        ASSERT_EQ(readHeaderBytes(file.substr(0, length), header), SC_FORMAT_ERROR) << length;
    }
}

TEST(SCDHeaderTest, WriteRefusesOffsetsNotMatchingTheDimensionsAndReportsAFailingStream) {
    SCDHeader header(3, 2, 4, 1, 1.0f);
    header.imageOffsets() = {0, 1, 2, 3};  // but no spectrum offset
    std::ostringstream out;
    EXPECT_EQ(header.write(out), SC_FORMAT_ERROR);
    EXPECT_TRUE(out.str().empty());
    out.setstate(std::ios::badbit);
    EXPECT_EQ(readOk(headerFile()).write(out), SC_FORMAT_ERROR);
}

#include "scd/scd_header.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "sc_api/sc_error_code.h"
#include "sc_api/scd.h"
#include "support/codec_bits.h"

using test_support::bitsFromText;
using test_support::ByteWriter;

namespace {

// A header file laid out field by field, independently of SCDHeader::write. The defaults
// describe a cube of 3 x 2 pixels, 1 acquired line and 4 channels.
struct HeaderFile {
    std::uint32_t magic = SCD::MAGIC_NUMBER;
    std::uint32_t version = SCD::VERSION;
    std::uint32_t type = SCD::SIMPLE_HEADER;
    std::uint32_t indexWidth = SCD::INDEX32;
    std::uint32_t width = 3;
    std::uint32_t height = 2;
    std::uint32_t depth = 4;
    std::uint32_t acquiredLines = 1;
    float factor = 2.5f;
    std::vector<std::uint64_t> spectrumOffsets = {0, 11, 30};
    std::vector<std::uint64_t> imageOffsets = {0, 9, 20, 31};
    std::vector<std::pair<SCSymbol, std::string>> codes = {
        {{1, 0}, "0"}, {{3, 7}, "10"}, {{255, 65535}, "110 1011 0101"}};

    std::string bytes() const {
        ByteWriter file;
        file.u32(magic).u32(version).u32(type).u32(indexWidth);
        file.u32(width).u32(height).u32(depth).u32(acquiredLines).f32(factor);
        for (const auto* offsets : {&spectrumOffsets, &imageOffsets}) {
            for (std::uint64_t offset : *offsets) {
                indexWidth == SCD::INDEX32 ? file.u32(static_cast<std::uint32_t>(offset))
                                           : file.u64(offset);
            }
        }
        file.u32(static_cast<std::uint32_t>(codes.size()));
        for (const auto& [symbol, code] : codes) {
            BitVector bits = bitsFromText(code);
            file.u8(symbol.first).u16(symbol.second).u32(bits.bitCount()).bits(bits);
        }
        return file.str();
    }
};

std::string written(const SCDHeader& header) {
    std::ostringstream out;
    EXPECT_EQ(header.write(out), SC_OK);
    return out.str();
}

// Reads bytes from a seekable stream and from one that cannot tell its length; both must agree.
int read(const std::string& bytes, SCDHeader& header) {
    std::istringstream seekable(bytes);
    int result = header.read(seekable);
    SCDHeader again;
    test_support::ForwardOnlyInput forwardOnly(bytes);
    EXPECT_EQ(again.read(forwardOnly), result);
    if (result == SC_OK) {
        EXPECT_EQ(written(again), written(header));
    }
    return result;
}

SCDHeader readOk(const std::string& bytes) {
    SCDHeader header;
    EXPECT_EQ(read(bytes, header), SC_OK);
    return header;
}

int readResult(const std::string& bytes) {
    SCDHeader header;
    return read(bytes, header);
}

}  // namespace

TEST(SCDHeaderReadTest, ReadsEveryFieldOfAnIndependentlyWrittenFile) {
    HeaderFile file;
    std::string bytes = file.bytes();
    EXPECT_EQ(bytes.size(), 36u + 4 * 3 + 4 * 4 + 4 + (7 + 1) + (7 + 1) + (7 + 2));
    SCDHeader header = readOk(bytes);
    EXPECT_EQ(header.width(), 3u);
    EXPECT_EQ(header.height(), 2u);
    EXPECT_EQ(header.depth(), 4u);
    EXPECT_EQ(header.acquiredLines(), 1u);
    EXPECT_EQ(header.factor(), 2.5f);
    EXPECT_EQ(header.spectrumOffsets(), file.spectrumOffsets);
    EXPECT_EQ(header.spectrumOffset(2, 0), 30u);
    EXPECT_EQ(header.imageOffsets(), file.imageOffsets);
    EXPECT_EQ(header.imageOffset(3), 31u);
    EXPECT_EQ(
        header.codes(),
        test_support::codeTable({{{1, 0}, "0"}, {{3, 7}, "10"}, {{255, 65535}, "110 1011 0101"}}));
}

TEST(SCDHeaderReadTest, TakesEightByteEntriesForAnyIndexWidthBut32) {
    for (std::uint32_t indexWidth : {SCD::INDEX64, 0u, 33u, 0xFFFFFFFFu}) {
        HeaderFile file;
        file.indexWidth = indexWidth;
        file.spectrumOffsets = {0, 0x100000000ull, 0xFFFFFFFFFFFFFFFFull};
        SCDHeader header = readOk(file.bytes());
        EXPECT_EQ(header.spectrumOffsets(), file.spectrumOffsets) << indexWidth;
        EXPECT_EQ(header.imageOffsets(), file.imageOffsets) << indexWidth;
    }
}

TEST(SCDHeaderReadTest, IgnoresTheVersion) {
    HeaderFile file;
    file.version = 7;
    EXPECT_EQ(readResult(file.bytes()), SC_OK);
}

TEST(SCDHeaderReadTest, RefusesAnotherMagicOrHeaderType) {
    HeaderFile wrongMagic;
    wrongMagic.magic = 0x46444353;
    EXPECT_EQ(readResult(wrongMagic.bytes()), SC_FORMAT_ERROR);
    for (std::uint32_t type : {SCD::NOT_A_HEADER, SCD::FRAGMENTED_HEADER, 3u}) {
        HeaderFile file;
        file.type = type;
        EXPECT_EQ(readResult(file.bytes()), SC_FORMAT_ERROR) << type;
    }
}

TEST(SCDHeaderReadTest, RefusesEveryCutFile) {
    std::string bytes = HeaderFile().bytes();
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        ASSERT_EQ(readResult(bytes.substr(0, length)), SC_FORMAT_ERROR) << length;
    }
}

TEST(SCDHeaderReadTest, ASymbolStoredTwiceKeepsItsLastCode) {
    HeaderFile file;
    file.codes = {{{1, 0}, "0"}, {{2, 0}, "10"}, {{1, 0}, "11"}};
    EXPECT_EQ(readOk(file.bytes()).codes(),
              test_support::codeTable({{{1, 0}, "11"}, {{2, 0}, "10"}}));
}

TEST(SCDHeaderReadTest, RefusesCountsTheFileCannotHold) {
    HeaderFile hugeIndex;
    hugeIndex.width = hugeIndex.acquiredLines = 0xFFFFFFFF;
    EXPECT_EQ(readResult(hugeIndex.bytes()), SC_FORMAT_ERROR);

    HeaderFile overflowingIndex = hugeIndex;
    overflowingIndex.indexWidth = SCD::INDEX64;  // 8 x W x A exceeds 64 bits
    EXPECT_EQ(readResult(overflowingIndex.bytes()), SC_FORMAT_ERROR);

    HeaderFile hugeImageIndex;
    hugeImageIndex.depth = 0xFFFFFFFF;
    EXPECT_EQ(readResult(hugeImageIndex.bytes()), SC_FORMAT_ERROR);

    std::string manyEntries = HeaderFile().bytes();
    std::size_t entryCountAt = 36 + 4 * 3 + 4 * 4;
    manyEntries.replace(entryCountAt, 4, "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(readResult(manyEntries), SC_FORMAT_ERROR);

    std::string longCode = HeaderFile().bytes();
    longCode.replace(entryCountAt + 4 + 3, 4, "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(readResult(longCode), SC_FORMAT_ERROR);
}

TEST(SCDHeaderWriteTest, WritesTheBytesOfTheFileLayout) {
    HeaderFile file;
    SCDHeader header(3, 2, 4, 1, 2.5f);
    header.spectrumOffsets() = file.spectrumOffsets;
    header.imageOffsets() = file.imageOffsets;
    for (const auto& [symbol, code] : file.codes) {
        header.codes()[symbol] = bitsFromText(code);
    }
    EXPECT_EQ(written(header), file.bytes());
}

TEST(SCDHeaderWriteTest, WriteReadWriteGivesIdenticalBytes) {
    std::mt19937 random(29);
    SCDHeader header(40, 30, 25, 17, -0.125f);
    std::uint64_t offset = 0;
    for (int i = 0; i < 40 * 17; ++i) {
        header.spectrumOffsets().push_back(offset += random() % 5000);
    }
    for (int i = 0; i < 25; ++i) {
        header.imageOffsets().push_back(offset += random() % 50000);
    }
    for (int i = 0; i < 500; ++i) {
        header.codes()[{static_cast<unsigned char>(1 + random() % 255),
                        static_cast<unsigned short>(random())}] =
            test_support::randomBits(random, random() % 40);
    }
    std::string first = written(header);
    EXPECT_EQ(written(readOk(first)), first);
}

TEST(SCDHeaderWriteTest, ChoosesEightByteEntriesWhenALastOffsetNeedsThem) {
    struct Case {
        std::uint64_t lastSpectrum;
        std::uint64_t lastImage;
        unsigned expected;
    };
    for (Case c : {Case{0xFFFFFFFF, 0xFFFFFFFF, SCD::INDEX32}, Case{0x100000000, 5, SCD::INDEX64},
                   Case{5, 0x100000000, SCD::INDEX64}}) {
        SCDHeader header(2, 1, 1, 1, 1.0f);
        header.spectrumOffsets() = {0, c.lastSpectrum};
        header.imageOffsets() = {c.lastImage};
        EXPECT_EQ(header.indexWidth(), c.expected);
        std::string bytes = written(header);
        EXPECT_EQ(bytes.size(), 36u + (c.expected / 8) * 3 + 4);
        SCDHeader back = readOk(bytes);
        EXPECT_EQ(back.spectrumOffsets(), header.spectrumOffsets());
        EXPECT_EQ(back.imageOffsets(), header.imageOffsets());
    }
}

TEST(SCDHeaderWriteTest, AnEmptyCubeFitsFourByteEntries) {
    SCDHeader header(3, 2, 0, 0, 1.0f);
    EXPECT_EQ(header.indexWidth(), SCD::INDEX32);
    EXPECT_EQ(written(header).size(), 36u + 4);
}

TEST(SCDHeaderWriteTest, RefusesOffsetsThatDoNotMatchTheDimensions) {
    SCDHeader header(3, 2, 4, 1, 1.0f);
    header.spectrumOffsets() = {0, 1, 2};
    header.imageOffsets() = {0, 1, 2};
    std::ostringstream out;
    EXPECT_EQ(header.write(out), SC_FORMAT_ERROR);
    EXPECT_TRUE(out.str().empty());
}

TEST(SCDHeaderWriteTest, AFailingWriteIsReported) {
    SCDHeader header = readOk(HeaderFile().bytes());
    std::size_t size = written(header).size();
    for (std::size_t capacity : {std::size_t{0}, std::size_t{20}, size - 1}) {
        test_support::LimitedOutput out(capacity);
        EXPECT_EQ(header.write(out), SC_FORMAT_ERROR) << capacity;
    }
    test_support::LimitedOutput roomy(size);
    EXPECT_EQ(header.write(roomy), SC_OK);
}

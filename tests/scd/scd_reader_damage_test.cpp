#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>

#include "sc_api/scd.h"
#include "support/codec_bits.h"
#include "support/guarded_buffer.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Counts = std::vector<unsigned short>;

constexpr unsigned kWidth = 4;
constexpr unsigned kHeight = 3;
constexpr unsigned kDepth = 20;

// A damaged stream is skipped: its destination keeps what it held (readSpectrums clears its
// buffer first, so such a spectrum reads as zeros) while every other stream reads exactly.
class SCDReaderDamageTest : public ::testing::Test {
  protected:
    const ReferenceCube reference = makeReferenceCube(kWidth, kHeight, kDepth, 3, variedCount);

    ReferenceSCDLayout write(const ReferenceSCDOptions& options = {}) {
        auto layout = writeReferenceSCD(base, reference, options);
        EXPECT_TRUE(layout);
        return layout.value_or(ReferenceSCDLayout{});
    }

    // Opens the cube and checks that exactly the listed streams (spectra by pixel index,
    // images by channel) are skipped.
    void expectSkipped(const std::set<std::size_t>& spectra, const std::set<unsigned>& images) {
        auto cube = openSCDCube(base);
        ASSERT_TRUE(cube);
        const std::size_t pixels = std::size_t{kWidth} * kHeight;
        GuardedBuffer allSpectra(pixels * kDepth);
        ASSERT_EQ(cube->readSpectrums(0, 0, pixels, allSpectra.data()), SC_OK);
        for (std::size_t p = 0; p < pixels; ++p) {
            const Counts expected =
                spectra.count(p) ? Counts(kDepth, 0) : reference.spectrum(p % kWidth, p / kWidth);
            EXPECT_EQ(allSpectra.slice(p * kDepth, kDepth), expected) << "pixel " << p;
        }
        GuardedBuffer allImages(pixels * kDepth);
        ASSERT_EQ(cube->readImages(0, kDepth, allImages.data()), SC_OK);
        for (unsigned c = 0; c < kDepth; ++c) {
            const Counts expected =
                images.count(c) ? Counts(pixels, GuardedBuffer::kUntouched) : reference.image(c);
            EXPECT_EQ(allImages.slice(c * pixels, pixels), expected) << "channel " << c;
        }
        EXPECT_TRUE(allSpectra.guardsIntact());
        EXPECT_TRUE(allImages.guardsIntact());
    }

    std::uint32_t bitCountAt(const std::string& path, std::uint64_t offset) {
        const std::vector<unsigned char> bytes = readFileBytes(path);
        return bytes.at(offset) | bytes.at(offset + 1) << 8 | bytes.at(offset + 2) << 16 |
               static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24;
    }

    TempDir dir;
    std::string base = dir.file("cube");
    std::string spectrumFile = base + ".scds";
    std::string imageFile = base + ".scdi";
};

}  // namespace

TEST_F(SCDReaderDamageTest, StreamsWhoseRunsMissTheirSizeAreSkipped) {
    ReferenceSCDOptions options;
    options.alterSymbols = [](StreamKind kind, std::size_t index, std::vector<SCSymbol>& runs) {
        ASSERT_GE(runs.size(), 2u);
        if (kind == StreamKind::kSpectrum && index == 5) {
            runs.emplace_back(1, 3);  // one value too many
        } else if (kind == StreamKind::kSpectrum && index == 6) {
            runs.erase(runs.begin());  // too few
        } else if (kind == StreamKind::kImage && index == 2) {
            runs.emplace_back(255, 0);
        }
    };
    write(options);
    expectSkipped({5, 6}, {2});
}

TEST_F(SCDReaderDamageTest, SpectrumAtAPositionWithADamagedStreamIsLeftAsItWas) {
    ReferenceSCDOptions options;
    options.alterSymbols = [](StreamKind kind, std::size_t index, std::vector<SCSymbol>& runs) {
        if (kind == StreamKind::kSpectrum && index == 1) {
            runs.emplace_back(1, 3);
        }
    };
    write(options);
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    std::vector<GuardedBuffer> outs(2, GuardedBuffer(kDepth));
    ASSERT_EQ(cube->readSpectrumsAt({{1, 0}, {2, 0}}, dataPointers(outs)), SC_OK);
    EXPECT_TRUE(outs[0].holdsOnly(GuardedBuffer::kUntouched));
    EXPECT_EQ(outs[1].contents(), reference.spectrum(2, 0));
}

TEST_F(SCDReaderDamageTest, StreamsReachingPastTheirFileAreSkipped) {
    const ReferenceSCDLayout layout = write();
    overwriteFileBytes(spectrumFile, layout.spectra[3].offset, littleEndian32(0xFFFFFFFF));
    const StreamPlace last = layout.images.back();
    const std::uint64_t oneBytePastTheEnd = (last.size - 4 + 1) * 8;
    overwriteFileBytes(imageFile, last.offset,
                       littleEndian32(static_cast<std::uint32_t>(oneBytePastTheEnd)));
    expectSkipped({3}, {kDepth - 1});
}

TEST_F(SCDReaderDamageTest, StreamsCutShortAreSkipped) {
    const ReferenceSCDLayout layout = write();
    for (std::size_t pixel : {0, 11}) {
        const std::uint64_t offset = layout.spectra[pixel].offset;
        overwriteFileBytes(spectrumFile, offset,
                           littleEndian32(bitCountAt(spectrumFile, offset) - 1));
    }
    std::filesystem::resize_file(imageFile, layout.images.back().offset + 5);
    expectSkipped({0, 11}, {kDepth - 1});
}

TEST_F(SCDReaderDamageTest, IndexEntriesOutsideTheFilesAreSkipped) {
    write();
    const std::uint64_t spectrumFileSize = fileSize(spectrumFile);
    const std::uint64_t imageFileSize = fileSize(imageFile);
    ASSERT_TRUE(rewriteSCDHeader(base, [&](SCDHeader& header) {
        header.spectrumOffsets()[2] = spectrumFileSize;
        header.spectrumOffsets().back() = std::uint64_t{1} << 40;  // makes the index 64-bit
        header.imageOffsets()[1] = imageFileSize - 3;              // bit count cut
    }));
    expectSkipped({2, 11}, {1});
}

TEST_F(SCDReaderDamageTest, RefusedCodeTableDecodesNothing) {
    write();
    ASSERT_TRUE(rewriteSCDHeader(base, [](SCDHeader& header) {
        auto first = header.codes().begin();
        first->second = bitsFromText("0");
        std::next(first)->second = bitsFromText("0");
    }));
    std::set<std::size_t> allPixels;
    for (std::size_t p = 0; p < kWidth * kHeight; ++p) {
        allPixels.insert(p);
    }
    std::set<unsigned> allChannels;
    for (unsigned c = 0; c < kDepth; ++c) {
        allChannels.insert(c);
    }
    expectSkipped(allPixels, allChannels);

    ASSERT_TRUE(rewriteSCDHeader(base, [](SCDHeader& header) { header.codes().clear(); }));
    expectSkipped(allPixels, allChannels);
}

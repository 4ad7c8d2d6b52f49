#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <numeric>

#include "sc_api/sc_spectrum.h"
#include "sc_api/scd.h"
#include "support/codec_bits.h"
#include "support/guarded_buffer.h"
#include "support/memory_cube.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Counts = std::vector<unsigned short>;

class SCDReaderTest : public ::testing::Test {
  protected:
    // Writes `cube` as the test's cube and opens it.
    std::unique_ptr<SCFile> writeAndOpen(const ReferenceCube& cube,
                                         const ReferenceSCDOptions& options = {}) {
        EXPECT_TRUE(writeReferenceSCD(base, cube, options));
        return openSCDCube(base);
    }

    TempDir dir;
    std::string base = dir.file("cube");
};

// A cube of 2 x 2 pixels, 1 stored line and 3 channels, with the pixel spectra (5, 5, 0) and
// (0, 7, 0), laid out byte by byte with a hand-made prefix code, 8-byte index entries and
// streams placed in no particular order with gaps between them.
void writeHandMadeCube(const std::string& base, std::uint32_t version, float factor) {
    const std::vector<std::pair<SCSymbol, std::string>> codes = {
        {{1, 0}, "00"},  {{1, 5}, "010"}, {{1, 7}, "011"}, {{2, 0}, "100"},
        {{2, 5}, "101"}, {{3, 0}, "110"}, {{4, 0}, "111"}};
    auto stream = [](ByteWriter& file, std::string_view bits) {
        BitVector vector = bitsFromText(bits);
        file.u32(vector.bitCount()).bits(vector);
    };
    ByteWriter spectra;
    spectra.u8(0xAA);
    stream(spectra, "00 011 00");  // pixel (1, 0): (1,0) (1,7) (1,0), at offset 1
    spectra.u8(0xAA).u8(0xAA);
    stream(spectra, "101 00");  // pixel (0, 0): (2,5) (1,0), at offset 1 + 4 + 1 + 2 = 8
    // Image streams: channel 2 = 0 0 / 0 0, channel 0 = 5 0 / 0 0, channel 1 = 5 7 / 0 0.
    ByteWriter images;
    stream(images, "111");      // channel 2 at 0
    stream(images, "010 110");  // channel 0 at 5
    images.u8(0xAA);
    stream(images, "010 011 100");  // channel 1 at 11
    ByteWriter header;
    header.u32(SCD::MAGIC_NUMBER).u32(version).u32(SCD::SIMPLE_HEADER).u32(SCD::INDEX64);
    header.u32(2).u32(2).u32(3).u32(1).f32(factor);
    header.u64(8).u64(1);          // spectrum index
    header.u64(5).u64(11).u64(0);  // image index
    header.u32(static_cast<std::uint32_t>(codes.size()));
    for (const auto& [symbol, code] : codes) {
        BitVector bits = bitsFromText(code);
        header.u8(symbol.first).u16(symbol.second).u32(bits.bitCount()).bits(bits);
    }
    writeFileText(base + ".scdh", header.str());
    writeFileText(base + ".scds", spectra.str());
    writeFileText(base + ".scdi", images.str());
}

}  // namespace

TEST_F(SCDReaderTest, ReadsEverySpectrumAndImageOfTheCube) {
    const ReferenceCube cube = makeReferenceCube(5, 4, 301, 4, variedCount);
    auto opened = writeAndOpen(cube);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(readsExactly(*opened, cube));
    EXPECT_EQ(opened->version(), 1u);
}

TEST_F(SCDReaderTest, ReadsListedPixelsAndChannelsIntoTheirOwnBuffers) {
    const ReferenceCube cube = makeReferenceCube(4, 3, 40, 3, variedCount);
    auto opened = writeAndOpen(cube);
    ASSERT_TRUE(opened);

    const std::vector<SCPixelPosition> pixels = {{3, 2}, {0, 0}, {3, 2}, {1, 1}};
    std::vector<GuardedBuffer> spectra(pixels.size(), GuardedBuffer(40));
    ASSERT_EQ(opened->readSpectrumsAt(pixels, dataPointers(spectra)), SC_OK);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        EXPECT_EQ(spectra[i].contents(), cube.spectrum(pixels[i].first, pixels[i].second));
        EXPECT_TRUE(spectra[i].guardsIntact());
    }

    const std::vector<unsigned> channels = {39, 5, 0};
    std::vector<GuardedBuffer> images(channels.size(), GuardedBuffer(12));
    ASSERT_EQ(opened->readImagesAt(channels, dataPointers(images)), SC_OK);
    for (std::size_t i = 0; i < channels.size(); ++i) {
        EXPECT_EQ(images[i].contents(), cube.image(channels[i]));
        EXPECT_TRUE(images[i].guardsIntact());
    }
}

TEST_F(SCDReaderTest, ReadsFilesLaidOutByAnotherWriter) {
    writeHandMadeCube(base, 5, 2.0f);
    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_EQ(cube->version(), 1u);  // whatever the file says
    EXPECT_EQ(cube->factor(), 2.0f);

    GuardedBuffer spectra(4 * 3);
    ASSERT_EQ(cube->readSpectrums(0, 0, 4, spectra.data()), SC_OK);
    EXPECT_EQ(spectra.contents(), (Counts{5, 5, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0}));

    GuardedBuffer images(3 * 4);
    ASSERT_EQ(cube->readImages(0, 3, images.data()), SC_OK);
    EXPECT_EQ(images.contents(), (Counts{5, 0, 0, 0, 5, 7, 0, 0, 0, 0, 0, 0}));

    Counts scaled(4);
    ASSERT_EQ(cube->getImage(1, scaled.data()), SC_OK);
    EXPECT_EQ(scaled, (Counts{10, 14, 0, 0}));
}

TEST_F(SCDReaderTest, CubeOfOneSymbolReadsWithItsOneBitCode) {
    const ReferenceCube cube = makeReferenceCube(3, 3, 17, 3, [](auto...) { return 9; });
    auto opened = writeAndOpen(cube);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(readsExactly(*opened, cube));
}

TEST_F(SCDReaderTest, LinesNotStoredReadAsZeros) {
    const ReferenceCube cube =
        makeReferenceCube(3, 5, 6, 2, [](unsigned x, unsigned y, unsigned c) {
            return static_cast<unsigned short>(1 + x + 10 * y + 100 * c);
        });
    auto opened = writeAndOpen(cube);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(readsExactly(*opened, cube));

    EXPECT_TRUE(opened->isAcquired(0, 1));
    EXPECT_TRUE(opened->isAcquired(1000, 1));  // x is not examined
    EXPECT_FALSE(opened->isAcquired(0, 2));

    // The last stored pixel, then two pixels of the first line not stored.
    GuardedBuffer run(3 * 6);
    ASSERT_EQ(opened->readSpectrums(2, 1, 3, run.data()), SC_OK);
    EXPECT_EQ(run.slice(0, 6), cube.spectrum(2, 1));
    EXPECT_EQ(run.slice(6, 12), Counts(12, 0));

    std::vector<GuardedBuffer> spectra(2, GuardedBuffer(6));
    ASSERT_EQ(opened->readSpectrumsAt({{1, 4}, {1, 0}}, dataPointers(spectra)), SC_OK);
    EXPECT_TRUE(spectra[0].holdsOnly(GuardedBuffer::kUntouched));
    EXPECT_EQ(spectra[1].contents(), cube.spectrum(1, 0));
}

TEST_F(SCDReaderTest, CubeWithoutStoredLinesReadsAsZeros) {
    const ReferenceCube cube = makeReferenceCube(4, 2, 5, 0, variedCount);
    auto opened = writeAndOpen(cube);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(readsExactly(*opened, cube));
}

TEST_F(SCDReaderTest, GenericReadsScaleTheDecodedCounts) {
    const ReferenceCube cube = makeReferenceCube(6, 4, 70, 3, variedCount, 0.5f);
    auto opened = writeAndOpen(cube);
    ASSERT_TRUE(opened);

    SCAllocatedSpectrum spectrum(70);
    ASSERT_EQ(opened->getSpectrum(4, 2, spectrum), SC_OK);
    for (unsigned c = 0; c < 70; ++c) {
        EXPECT_EQ(spectrum[c], cube.count(4, 2, c) * 0.5f);
    }

    Counts roi(24);
    ASSERT_EQ(opened->computeRoiImage(0, 70, roi.data()), SC_OK);
    for (unsigned y = 0; y < 4; ++y) {
        for (unsigned x = 0; x < 6; ++x) {
            const Counts counts = cube.spectrum(x, y);
            const std::uint64_t sum = std::accumulate(counts.begin(), counts.end(), 0ull);
            EXPECT_EQ(roi[y * 6 + x], static_cast<unsigned short>(sum / 2));
        }
    }

    SCAllocatedSpectrum region(70);
    std::int64_t pixels = 0;
    ASSERT_EQ(opened->computeRegionSpectrum(TextMask::full(6, 4), region, pixels), SC_OK);
    EXPECT_EQ(pixels, 18);  // the stored lines only
}

TEST_F(SCDReaderTest, FindsStreamsBeyondFourGibibytes) {
    const ReferenceCube cube = makeReferenceCube(3, 2, 9, 2, variedCount);
    ReferenceSCDOptions options;
    options.spectrumFileStart = (std::uint64_t{5} << 30) + 3;
    options.imageFileStart = (std::uint64_t{1} << 32) + 1;
    auto opened = writeAndOpen(cube, options);
    ASSERT_TRUE(opened);
    EXPECT_GT(fileSize(base + ".scds"), options.spectrumFileStart);
    EXPECT_EQ(readFileBytes(base + ".scdh").at(12), SCD::INDEX64);
    EXPECT_TRUE(readsExactly(*opened, cube));
}

TEST_F(SCDReaderTest, MissingSpectrumFileIsCreatedEmptyAndSpectraReadAsZeros) {
    const ReferenceCube cube = makeReferenceCube(4, 3, 8, 3, variedCount);
    ASSERT_TRUE(writeReferenceSCD(base, cube));
    std::remove((base + ".scds").c_str());

    auto opened = openSCDCube(base);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(fileExists(base + ".scds"));
    GuardedBuffer spectra(12 * 8, 1);
    ASSERT_EQ(opened->readSpectrums(0, 0, 12, spectra.data()), SC_OK);
    EXPECT_TRUE(spectra.holdsOnly(0));
    GuardedBuffer image(12);
    ASSERT_EQ(opened->readImages(3, 1, image.data()), SC_OK);
    EXPECT_EQ(image.contents(), cube.image(3));
}

TEST_F(SCDReaderTest, ClosedCubeDecodesNothing) {
    const ReferenceCube cube = makeReferenceCube(4, 3, 8, 3, variedCount);
    auto opened = writeAndOpen(cube);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->close(), SC_OK);
    EXPECT_FALSE(opened->isOpen());

    GuardedBuffer spectrum(8, 1);
    EXPECT_EQ(opened->readSpectrums(1, 1, 1, spectrum.data()), SC_OK);
    EXPECT_TRUE(spectrum.holdsOnly(0));
    GuardedBuffer image(12);
    EXPECT_EQ(opened->readImages(0, 1, image.data()), SC_OK);
    EXPECT_TRUE(image.holdsOnly(GuardedBuffer::kUntouched));
}

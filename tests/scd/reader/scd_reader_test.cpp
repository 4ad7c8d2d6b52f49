#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>

#include <sys/stat.h>

#include "sc_api/sc_spectrum.h"
#include "sc_api/scd.h"
#include "support/codec_bits.h"
#include "support/guarded_buffer.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Counts = std::vector<unsigned short>;
constexpr auto kUntouched = GuardedBuffer::kUntouched;

class SCDReaderTest : public ::testing::Test {
  protected:
    std::unique_ptr<SCFile> writeAndOpen(const ReferenceCube& cube,
                                         const ReferenceSCDOptions& options = {}) {
        EXPECT_TRUE(writeReferenceSCD(base, cube, options));
        return openSCDCube(base);
    }

    TempDir dir;
    std::string base = dir.file("cube");
};

}  // namespace

// A 2 x 2 x 3 cube of 1 stored line laid out by hand: its own prefix code, version 5, 8-byte
// index entries, streams in no particular order with gaps between them.
TEST_F(SCDReaderTest, ReadsAHandMadeCubeWhateverItsVersionField) {
    auto stream = [](ByteWriter& file, std::string_view bits) -> ByteWriter& {
        const BitVector vector = bitsFromText(bits);
        return file.u32(vector.bitCount()).bits(vector);
    };
    ByteWriter spectra;
    stream(spectra.u8(0xAA), "00 011 00");        // pixel (1, 0): (1,0) (1,7) (1,0), at offset 1
    stream(spectra.u8(0xAA).u8(0xAA), "101 00");  // pixel (0, 0): (2,5) (1,0), at offset 8
    ByteWriter images;
    stream(images, "111");                   // channel 2 = 0 0 / 0 0, at 0
    stream(images, "010 110");               // channel 0 = 5 0 / 0 0, at 5
    stream(images.u8(0xAA), "010 011 100");  // channel 1 = 5 7 / 0 0, at 11
    ByteWriter header;
    header.u32(SCD::MAGIC_NUMBER).u32(5).u32(SCD::SIMPLE_HEADER).u32(SCD::INDEX64);
    header.u32(2).u32(2).u32(3).u32(1).f32(2.0f);
    header.u64(8).u64(1).u64(5).u64(11).u64(0).u32(7);
    const std::vector<std::pair<SCSymbol, std::string>> codes = {
        {{1, 0}, "00"},  {{1, 5}, "010"}, {{1, 7}, "011"}, {{2, 0}, "100"},
        {{2, 5}, "101"}, {{3, 0}, "110"}, {{4, 0}, "111"}};
    for (const auto& [symbol, code] : codes) {
        stream(header.u8(symbol.first).u16(symbol.second), code);
    }
    writeFileText(base + ".scdh", header.str());
    writeFileText(base + ".scds", spectra.str());
    writeFileText(base + ".scdi", images.str());

    auto cube = openSCDCube(base);
    ASSERT_TRUE(cube);
    EXPECT_EQ(cube->version(), 1u);
    EXPECT_EQ(cube->factor(), 2.0f);
    GuardedBuffer read(4 * 3);
    ASSERT_EQ(cube->readSpectrums(0, 0, 4, read.data()), SC_OK);
    EXPECT_EQ(read.contents(), (Counts{5, 5, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(cube->readImages(0, 3, read.data()), SC_OK);
    EXPECT_EQ(read.contents(), (Counts{5, 0, 0, 0, 5, 7, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SCDReaderTest, LinesNotStoredReadAsZerosAndAreNotAcquired) {
    const ReferenceCube cube = makeReferenceCube(3, 5, 6, 2, variedCount);
    auto opened = writeAndOpen(cube);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(readsExactly(*opened, cube));
    EXPECT_TRUE(opened->isAcquired(0, 1));
    EXPECT_FALSE(opened->isAcquired(0, 2));

    // The last stored pixel, then two pixels not stored.
    GuardedBuffer run(3 * 6);
    ASSERT_EQ(opened->readSpectrums(2, 1, 3, run.data()), SC_OK);
    EXPECT_EQ(run.slice(0, 6), cube.spectrum(2, 1));
    EXPECT_EQ(run.slice(6, 12), Counts(12, 0));
    // Listed pixels and channels go to their own buffers; a pixel not stored is left as it was.
    std::vector<GuardedBuffer> spectra(2, GuardedBuffer(6));
    ASSERT_EQ(opened->readSpectrumsAt({{1, 4}, {1, 0}}, dataPointers(spectra)), SC_OK);
    EXPECT_TRUE(spectra[0].holdsOnly(kUntouched));
    EXPECT_EQ(spectra[1].contents(), cube.spectrum(1, 0));
    std::vector<GuardedBuffer> images(2, GuardedBuffer(15));
    ASSERT_EQ(opened->readImagesAt({5, 0}, dataPointers(images)), SC_OK);
    EXPECT_EQ(images[0].contents(), cube.image(5));
    EXPECT_EQ(images[1].contents(), cube.image(0));
}

TEST_F(SCDReaderTest, RequestsOutsideTheCubeAreRefusedBeforeAnythingIsWritten) {
    constexpr unsigned w = 4, h = 3, d = 5;
    auto cube = writeAndOpen(makeReferenceCube(w, h, d, h, variedCount));
    ASSERT_TRUE(cube);
    GuardedBuffer out(2 * w * h * d);
    for (auto [x, y, count] : {std::tuple{0u, h, 1u}, std::tuple{w, 0u, 1u},
                               std::tuple{w - 1, h - 1, 2u}, std::tuple{0u, 0u, UINT_MAX}}) {
        EXPECT_EQ(cube->readSpectrums(x, y, count, out.data()), SC_OUT_OF_RANGE) << x << ", " << y;
    }
    EXPECT_EQ(cube->readImages(d - 1, 2, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readImages(UINT_MAX, 2, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readImages(d, 0, out.data()), SC_OK);
    EXPECT_EQ(cube->readSpectrums(1, 1, 0, out.data()), SC_OK);
    EXPECT_TRUE(out.holdsOnly(kUntouched));

    // Listed reads check every entry, and that there is a buffer for it, before decoding any.
    std::vector<GuardedBuffer> outs(2, GuardedBuffer(w * h));
    EXPECT_EQ(cube->readImagesAt({0, d}, dataPointers(outs)), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readSpectrumsAt({{0, 0}, {w, 0}}, dataPointers(outs)), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readSpectrumsAt({{0, 0}, {0, h}}, dataPointers(outs)), SC_OUT_OF_RANGE);
    outs.pop_back();
    EXPECT_EQ(cube->readImagesAt({0, 1}, dataPointers(outs)), SC_OUT_OF_RANGE);
    EXPECT_EQ(cube->readSpectrumsAt({{0, 0}, {1, 0}}, dataPointers(outs)), SC_OUT_OF_RANGE);
    EXPECT_TRUE(outs[0].holdsOnly(kUntouched));
}

// Opening reads and checks, and creates or changes nothing: a missing data file, one that is not
// a regular file, and claims the files cannot back all leave the cube closed.
TEST_F(SCDReaderTest, OpeningRefusesMissingFilesOtherFileKindsAndClaimsTheFilesCannotBack) {
    const ReferenceCube cube = makeReferenceCube(4, 3, 8, 3, variedCount);
    const ReferenceSCDLayout layout = writeReferenceSCD(base, cube).value();
    const auto header = readFileBytes(base + ".scdh");
    const auto spectra = readFileBytes(base + ".scds");
    ASSERT_TRUE(openSCDCube(base));

    std::filesystem::remove(base + ".scds");
    EXPECT_FALSE(openSCDCube(base));
    EXPECT_FALSE(fileExists(base + ".scds")) << "a reader never creates a file";
    std::filesystem::create_directory(base + ".scds");
    EXPECT_FALSE(openSCDCube(base));
    std::filesystem::remove(base + ".scds");
    ASSERT_EQ(mkfifo((base + ".scds").c_str(), 0600), 0);
    EXPECT_FALSE(openSCDCube(base)) << "a FIFO is refused without blocking";
    std::filesystem::remove(base + ".scds");
    writeFileBytes(base + ".scds", spectra);
    std::filesystem::rename(base + ".scdh", base + ".header");
    ASSERT_EQ(mkfifo((base + ".scdh").c_str(), 0600), 0);
    EXPECT_FALSE(openSCDCube(base));
    std::filesystem::remove(base + ".scdh");
    std::filesystem::rename(base + ".header", base + ".scdh");
    ASSERT_TRUE(openSCDCube(base));

    const auto refusedWith = [&](std::uint64_t offset, std::uint32_t value) {
        overwriteFileBytes(base + ".scdh", offset, littleEndian32(value));
        const bool refused = openSCDCube(base) == nullptr;
        writeFileBytes(base + ".scdh", header);
        return refused;
    };
    EXPECT_TRUE(refusedWith(20, 3 << 20)) << "a height no image stream can hold";
    EXPECT_TRUE(refusedWith(24, 1 << 20)) << "a depth no spectrum stream can hold";
    EXPECT_TRUE(refusedWith(36 + 4 * 5, static_cast<std::uint32_t>(spectra.size()) - 3));
    EXPECT_TRUE(refusedWith(36 + 4 * 12 + 4 * 7, 0xFFFFFFF0)) << "an image offset";
    std::filesystem::resize_file(base + ".scdi", layout.images.back().offset + 4);
    EXPECT_FALSE(openSCDCube(base)) << "the last image has no room for its bits";
    EXPECT_EQ(readFileBytes(base + ".scdh"), header);
}

TEST_F(SCDReaderTest, FindsStreamsBeyondFourGibibytes) {
    const ReferenceCube cube = makeReferenceCube(3, 2, 9, 2, variedCount);
    ReferenceSCDOptions options;
    options.spectrumFileStart = (std::uint64_t{5} << 30) + 3;
    options.imageFileStart = (std::uint64_t{1} << 32) + 1;
    auto opened = writeAndOpen(cube, options);
    ASSERT_TRUE(opened);
    EXPECT_GT(fileSize(base + ".scds"), options.spectrumFileStart);
    EXPECT_TRUE(readsExactly(*opened, cube));
}

// A damaged stream makes its read answer SC_FORMAT_ERROR once the whole request is read: its
// destination then holds zeros while every other stream of the request reads exactly.
TEST_F(SCDReaderTest, DamagedStreamsAreReportedReadAsZerosAndTheOthersReadExactly) {
    constexpr unsigned w = 4, h = 3, d = 20;
    const ReferenceCube cube = makeReferenceCube(w, h, d, h, variedCount);
    ReferenceSCDOptions options;
    options.alterSymbols = [](StreamKind kind, std::size_t index, std::vector<SCSymbol>& runs) {
        if (kind == StreamKind::kSpectrum && index == 5) {
            runs.emplace_back(1, 3);  // one value too many
        } else if (kind == StreamKind::kSpectrum && index == 6) {
            runs.erase(runs.begin());  // too few
        } else if (kind == StreamKind::kImage && index == 2) {
            runs.emplace_back(255, 0);
        }
    };
    const ReferenceSCDLayout layout = writeReferenceSCD(base, cube, options).value();
    // Pixel 3 reaching far past its file, the last image cut short, channel 1's bits cut.
    overwriteFileBytes(base + ".scds", layout.spectra[3].offset, littleEndian32(0xFFFFFFFF));
    std::filesystem::resize_file(base + ".scdi", layout.images.back().offset + 5);
    overwriteFileBytes(base + ".scdi", layout.images[1].offset,
                       littleEndian32(static_cast<std::uint32_t>(layout.images[1].size * 8)));
    const std::set<unsigned> damagedPixels = {3, 5, 6};
    const std::set<unsigned> damagedChannels = {1, 2, d - 1};

    auto opened = openSCDCube(base);
    ASSERT_TRUE(opened);
    GuardedBuffer spectra(w * h * d);
    ASSERT_EQ(opened->readSpectrums(0, 0, w * h, spectra.data()), SC_FORMAT_ERROR);
    for (unsigned p = 0; p < w * h; ++p) {
        EXPECT_EQ(spectra.slice(p * d, d),
                  damagedPixels.count(p) ? Counts(d, 0) : cube.spectrum(p % w, p / w))
            << "pixel " << p;
    }
    GuardedBuffer images(w * h * d);
    ASSERT_EQ(opened->readImages(0, d, images.data()), SC_FORMAT_ERROR);
    for (unsigned c = 0; c < d; ++c) {
        EXPECT_EQ(images.slice(c * w * h, w * h),
                  damagedChannels.count(c) ? Counts(w * h, 0) : cube.image(c))
            << "channel " << c;
    }
    std::vector<GuardedBuffer> listed(2, GuardedBuffer(d));
    ASSERT_EQ(opened->readSpectrumsAt({{1, 1}, {0, 1}}, dataPointers(listed)), SC_FORMAT_ERROR);
    EXPECT_TRUE(listed[0].holdsOnly(0));
    EXPECT_EQ(listed[1].contents(), cube.spectrum(0, 1));
    EXPECT_EQ(opened->readSpectrumsAt({{0, 1}}, dataPointers(listed)), SC_OK);
    EXPECT_TRUE(spectra.guardsIntact() && images.guardsIntact() && listed[0].guardsIntact());

    // The generic reads pass the code on instead of summing zeros for the damaged streams.
    std::vector<unsigned short> roi(w * h);
    EXPECT_EQ(opened->computeRoiImage(0, d, roi.data()), SC_FORMAT_ERROR);
    EXPECT_EQ(opened->computeRoiImage(3, 2, roi.data()), SC_OK);
    SCAllocatedSpectrum spectrum(d);
    EXPECT_EQ(opened->getSpectrum(1, 1, spectrum), SC_FORMAT_ERROR);
    EXPECT_FALSE(SCD::checkIntegrity(base)) << "damaged spectra and images disagree";
    opened->close();
    EXPECT_EQ(opened->readImages(3, 1, images.data()), SC_FILE_ERROR);
}

TEST_F(SCDReaderTest, ThreadsReadingOneCubeAtOnceAllGetExactData) {
    const ReferenceCube cube = makeReferenceCube(12, 9, 64, 8, variedCount);
    auto opened = writeAndOpen(cube);
    ASSERT_TRUE(opened);
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            for (int round = 0; round < 5; ++round) {
                ASSERT_TRUE(readsExactly(*opened, cube));
            }
        });
    }
    for (std::thread& reader : readers) {
        reader.join();
    }
}

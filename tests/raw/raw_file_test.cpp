// Reading raw cubes written by an independent writer (test_support::writeRawCube), in both
// storage orders.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "raw/raw_image_file.h"
#include "raw/raw_vector_file.h"
#include "sc_api/sc_raw_io.h"
#include "support/raw_cube_files.h"
#include "support/temp_dir.h"

namespace {

using test_support::CubeValues;
using test_support::distinctValue;
using test_support::fileExists;
using test_support::rplText;
using test_support::TempDir;
using test_support::writeFileText;
using test_support::writeRawCube;
using RawFilePtr = SharedPtr<SCRawFile, SCDeleteRawFile>;
using Counts = std::vector<unsigned short>;
namespace fs = std::filesystem;

constexpr auto kByImage = SCRawHeader::RECORD_BY_IMAGE;
constexpr auto kByVector = SCRawHeader::RECORD_BY_VECTOR;

// Spectra of pixels first .. first+count-1 (row-major) of a cube `width` wide, low 16 bits.
Counts expectedSpectra(const CubeValues& values, unsigned width, unsigned depth, unsigned first,
                       unsigned count) {
    Counts spectra;
    for (unsigned p = first; p < first + count; ++p) {
        for (unsigned c = 0; c < depth; ++c) {
            spectra.push_back(static_cast<unsigned short>(values(p % width, p / width, c)));
        }
    }
    return spectra;
}

// Images of channels first .. first+count-1, low 16 bits.
Counts expectedImages(const CubeValues& values, unsigned width, unsigned height, unsigned first,
                      unsigned count) {
    Counts images;
    for (unsigned c = first; c < first + count; ++c) {
        for (unsigned p = 0; p < width * height; ++p) {
            images.push_back(static_cast<unsigned short>(values(p % width, p / width, c)));
        }
    }
    return images;
}

class RawFileReads : public testing::TestWithParam<SCRawHeader::StorageFormat> {
  protected:
    static constexpr unsigned kWidth = 4;
    static constexpr unsigned kHeight = 3;
    static constexpr unsigned kDepth = 5;

    RawFilePtr open(const CubeValues& values = distinctValue) {
        writeRawCube(base_, kWidth, kHeight, kDepth, GetParam(), values);
        return SCRawIO::openSCRawFile(base_);
    }
    Counts spectra(SCRawFile& file, unsigned x, unsigned y, unsigned count) {
        Counts out(count * kDepth, 0xDEAD);
        EXPECT_EQ(file.readSpectrums(x, y, count, out.data()), SC_OK);
        return out;
    }
    Counts images(SCRawFile& file, unsigned first, unsigned count) {
        Counts out(count * kWidth * kHeight, 0xDEAD);
        EXPECT_EQ(file.readImages(first, count, out.data()), SC_OK);
        return out;
    }

    TempDir dir_;
    std::string base_ = dir_.file("cube");
};

TEST_P(RawFileReads, TheOpenerPicksTheReaderOfTheStorageOrder) {
    RawFilePtr file = open();
    ASSERT_TRUE(file);
    EXPECT_EQ(dynamic_cast<SCRawImageFile*>(file.get()) != nullptr, GetParam() == kByImage);
    EXPECT_EQ(dynamic_cast<SCRawVectorFile*>(file.get()) != nullptr, GetParam() == kByVector);
    EXPECT_EQ(file->header().format(), GetParam());
    EXPECT_EQ(file->depth(), kDepth);
    EXPECT_EQ(file->version(), 0u);
    EXPECT_EQ(file->factor(), 1.0f);
    EXPECT_TRUE(file->isAcquired(kWidth + 7, UINT_MAX));
}

TEST_P(RawFileReads, SpectrumRunsContinueOnTheNextRowUpToTheLastPixel) {
    RawFilePtr file = open();
    EXPECT_EQ(spectra(*file, kWidth - 1, 0, 2),
              expectedSpectra(distinctValue, kWidth, kDepth, kWidth - 1, 2));
    EXPECT_EQ(spectra(*file, 1, 2, kWidth - 1),
              expectedSpectra(distinctValue, kWidth, kDepth, 2 * kWidth + 1, kWidth - 1));
    Counts out(kDepth * 8, 7);
    EXPECT_EQ(file->readSpectrums(1, 2, kWidth, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(file->readSpectrums(kWidth, 0, 1, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(file->readSpectrums(0, kHeight, 1, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(file->readSpectrums(1, 0, UINT_MAX, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(out, Counts(kDepth * 8, 7));
}

TEST_P(RawFileReads, ImageRunsEndAtTheLastChannel) {
    RawFilePtr file = open();
    EXPECT_EQ(images(*file, 1, kDepth - 1),
              expectedImages(distinctValue, kWidth, kHeight, 1, kDepth - 1));
    Counts out(kWidth * kHeight * 2, 7);
    EXPECT_EQ(file->readImages(kDepth, 1, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(file->readImages(kDepth - 1, 2, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(file->readImages(UINT_MAX, 2, out.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(out, Counts(kWidth * kHeight * 2, 7));
}

TEST_P(RawFileReads, KeepTheLow16BitsOfEachValue) {
    const CubeValues wide = [](unsigned x, unsigned y, unsigned c) {
        return 0xFFFF0000u + 65536u * c + x + y;
    };
    RawFilePtr file = open(wide);
    EXPECT_EQ(spectra(*file, 2, 1, 1), (Counts{3, 3, 3, 3, 3}));
    EXPECT_EQ(images(*file, 2, 1), expectedImages(wide, kWidth, kHeight, 2, 1));
}

TEST_P(RawFileReads, ListedPixelsAndChannelsStopAtTheFirstFailure) {
    RawFilePtr file = open();
    Counts a(kWidth * kHeight);
    Counts b(kWidth * kHeight);
    ASSERT_EQ(file->readSpectrumsAt({{3, 2}, {0, 1}}, {a.data(), b.data()}), SC_OK);
    EXPECT_EQ(Counts(a.begin(), a.begin() + kDepth),
              expectedSpectra(distinctValue, kWidth, kDepth, 11, 1));
    EXPECT_EQ(b[0], distinctValue(0, 1, 0));
    EXPECT_EQ(file->readSpectrumsAt({{0, 0}, {kWidth, 0}}, {a.data(), b.data()}), SC_OUT_OF_RANGE);
    ASSERT_EQ(file->readImagesAt({4, 0}, {a.data(), b.data()}), SC_OK);
    EXPECT_EQ(a, expectedImages(distinctValue, kWidth, kHeight, 4, 1));
    EXPECT_EQ(file->readImagesAt({0, kDepth}, {a.data(), b.data()}), SC_OUT_OF_RANGE);
}

TEST_P(RawFileReads, ClosedOrCutFilesRefuseReads) {
    RawFilePtr file = open();
    Counts out(kWidth * kHeight * kDepth);
    fs::resize_file(base_ + ".raw", 8);
    EXPECT_EQ(file->readSpectrums(0, 2, 2, out.data()), SC_FORMAT_ERROR);
    EXPECT_EQ(file->readImages(0, kDepth, out.data()), SC_FORMAT_ERROR);
    EXPECT_EQ(file->close(), SC_OK);
    EXPECT_FALSE(file->isOpen());
    EXPECT_EQ(file->close(), SC_FILE_ERROR);
    EXPECT_EQ(file->readSpectrums(0, 0, 1, out.data()), SC_FILE_ERROR);
    EXPECT_EQ(file->readImages(0, 1, out.data()), SC_FILE_ERROR);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, RawFileReads, testing::Values(kByImage, kByVector));

TEST(RawVectorFile, ImagesOfDeepCubesSkipOrPassOverTheOtherChannels) {
    TempDir dir;
    writeRawCube(dir.file("deep"), 3, 2, 1500, kByVector, distinctValue);
    RawFilePtr file = SCRawIO::openSCRawFile(dir.file("deep"));
    for (const auto& [first, count] : {std::pair{7u, 2u}, {0u, 1500u}, {1000u, 500u}}) {
        Counts out(6 * count);
        ASSERT_EQ(file->readImages(first, count, out.data()), SC_OK);
        EXPECT_EQ(out, expectedImages(distinctValue, 3, 2, first, count)) << first;
    }
}

TEST(RawOpener, RefusesMissingShortOrForeignFilesWithoutCreatingAny) {
    TempDir dir;
    const std::string base = dir.file("cube");
    writeRawCube(base, 2, 2, 3, kByVector, distinctValue);
    fs::resize_file(base + ".raw", 2 * 2 * 3 * 4 + 100);
    EXPECT_TRUE(SCRawIO::openSCRawFile(base));
    fs::resize_file(base + ".raw", 2 * 2 * 3 * 4 - 1);
    EXPECT_FALSE(SCRawIO::openSCRawFile(base));
    fs::remove(base + ".raw");
    EXPECT_FALSE(SCRawIO::openSCRawFile(base));
    EXPECT_FALSE(fileExists(base + ".raw"));
    fs::create_directory(base + ".raw");
    EXPECT_FALSE(SCRawIO::openSCRawFile(base));

    EXPECT_FALSE(SCRawIO::openSCRawFile(dir.file("other")));
    writeRawCube(base + "2", 1, 1, 1, kByImage, distinctValue);
    writeFileText(base + "2.rpl",
                  "width 1 height 1 depth 1 data-length 2 data-type unsigned "
                  "byte-order x record-by image");
    EXPECT_FALSE(SCRawIO::openSCRawFile(base + "2"));
    writeFileText(base + "2.rpl", rplText(4294967295u, 4294967295u, 4294967295u, kByImage));
    EXPECT_FALSE(SCRawIO::openSCRawFile(base + "2"));
}

// A sparse cube of 1024 x 1024 x 1025 values (above 4 GiB), zero except the last pixel, whose
// channel c holds 1000 + c for every c that is a multiple of 256.
class LargeRawCube : public testing::TestWithParam<SCRawHeader::StorageFormat> {
  protected:
    static constexpr unsigned kSide = 1024;
    static constexpr unsigned kDepth = 1025;

    RawFilePtr open() {
        writeFileText(base_ + ".rpl", rplText(kSide, kSide, kDepth, GetParam()));
        std::ofstream(base_ + ".raw").close();
        fs::resize_file(base_ + ".raw", std::uint64_t{kSide} * kSide * kDepth * 4);
        std::fstream data(base_ + ".raw", std::ios::in | std::ios::out | std::ios::binary);
        const std::uint64_t lastPixel = std::uint64_t{kSide} * kSide - 1;
        for (unsigned c = 0; c < kDepth; c += 256) {
            const std::uint64_t index =
                GetParam() == kByVector ? lastPixel * kDepth + c : c * (lastPixel + 1) + lastPixel;
            data.seekp(static_cast<std::streamoff>(index * 4));
            const char bytes[4] = {static_cast<char>((1000 + c) & 0xFF),
                                   static_cast<char>((1000 + c) >> 8), 0, 0};
            data.write(bytes, 4);
        }
        data.close();
        return SCRawIO::openSCRawFile(base_);
    }

    TempDir dir_;
    std::string base_ = dir_.file("large");
};

TEST_P(LargeRawCube, ValuesBeyond4GiBAreReadAtTheirOffsets) {
    RawFilePtr file = open();
    ASSERT_TRUE(file);
    Counts spectrum(kDepth);
    ASSERT_EQ(file->readSpectrums(kSide - 1, kSide - 1, 1, spectrum.data()), SC_OK);
    EXPECT_EQ(spectrum[1024], 2024);
    EXPECT_EQ(spectrum[1023], 0);
    if (GetParam() == kByImage) {  // by vector, an image of this cube is a million small reads
        Counts image(std::size_t{kSide} * kSide);
        ASSERT_EQ(file->readImages(kDepth - 1, 1, image.data()), SC_OK);
        EXPECT_EQ(image.back(), 2024);
    }
}

INSTANTIATE_TEST_SUITE_P(BothOrders, LargeRawCube, testing::Values(kByImage, kByVector));

}  // namespace

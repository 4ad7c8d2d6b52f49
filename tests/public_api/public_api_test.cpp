// Compiled against the umbrella header alone and linked against the shared library: proves
// that the public classes are exported and usable by another program.
#include "sc_api/sc_api.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// A raw cube built line by line, converted to SCD and opened through the loader registry reads
// back the counts it was built from, spectrum by spectrum and image by image.
TEST(PublicApi, RawCubeBuiltConvertedAndLoadedReadsBackItsCounts) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("sc_api_public_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string raw = (dir / "raw").string();
    const std::string scd = (dir / "scd").string();
    constexpr unsigned kWidth = 3, kHeight = 2, kDepth = 4;
    auto count = [](unsigned x, unsigned y, unsigned c) {
        return static_cast<unsigned short>(100 * y + 10 * x + c);
    };

    SCRawHeader header(kWidth, kHeight, kDepth, SCRawHeader::RECORD_BY_VECTOR);
    SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builder = SCRawIO::getBuilder(raw, header);
    ASSERT_TRUE(builder);
    std::vector<unsigned short> line(kWidth * kDepth);
    for (unsigned y = 0; y < kHeight; ++y) {
        for (unsigned x = 0; x < kWidth; ++x) {
            for (unsigned c = 0; c < kDepth; ++c) {
                line[x * kDepth + c] = count(x, y, c);
            }
        }
        ASSERT_EQ(builder->addSpectrumLine(line.data()), SC_OK);
    }
    ASSERT_EQ(builder->close(), SC_OK);
    ASSERT_EQ(RawToSCD::encode(raw, scd), SC_OK);

    std::unique_ptr<SCFile> cube(SCIO::getSCCubeLoader().load(scd + SCD::HEADER_EXTENSION));
    ASSERT_TRUE(cube);
    SCAllocatedSpectrum spectrum(kDepth);
    ASSERT_EQ(cube->getSpectrum(2, 1, spectrum), SC_OK);
    for (unsigned c = 0; c < kDepth; ++c) {
        EXPECT_EQ(spectrum[c], count(2, 1, c));
    }
    std::vector<unsigned short> image(kWidth * kHeight);
    ASSERT_EQ(cube->getImage(3, image.data()), SC_OK);
    for (unsigned y = 0; y < kHeight; ++y) {
        for (unsigned x = 0; x < kWidth; ++x) {
            EXPECT_EQ(image[y * kWidth + x], count(x, y, 3));
        }
    }
    cube.reset();
    SCD::removeSCD(scd);
    SCRawIO::removeSCRaw(raw);
    fs::remove_all(dir);
}

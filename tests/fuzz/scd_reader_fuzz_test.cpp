// Robustness of the SCD reader against damaged cubes: the three files of a valid cube get random
// damage (flipped bits, overwritten bytes and length fields, cut or lengthened files), and every
// cube that opens is read whole through every primitive with guard values around each buffer.
// No case may crash, hang, or write outside a buffer (these tests run under AddressSanitizer),
// and damage to one data file never changes what the other one reads.

#include <gtest/gtest.h>

#include <random>

#include "sc_api/scd.h"
#include "support/guarded_buffer.h"
#include "support/reference_scd_writer.h"
#include "support/scd_cube_checks.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Bytes = std::vector<unsigned char>;

// Cubes larger than this (a damaged header may claim any width and height) are only probed
// with small reads.
constexpr std::uint64_t kMaxReadValues = 1 << 20;

struct CubeFiles {
    Bytes header;
    Bytes spectra;
    Bytes images;
};

// One random kind of damage, somewhere in bytes. `fields` lists the offsets of 4-byte length
// fields, which are damaged on purpose now and then.
void damage(Bytes& bytes, const std::vector<StreamPlace>& fields, std::mt19937& random) {
    auto below = [&random](std::size_t n) { return n == 0 ? 0 : random() % n; };
    switch (random() % 6) {
        case 0:
            for (int flips = 1 + below(4); flips > 0 && !bytes.empty(); --flips) {
                bytes[below(bytes.size())] ^= static_cast<unsigned char>(1u << below(8));
            }
            break;
        case 1:
            for (int i = 1 + below(16); i > 0 && !bytes.empty(); --i) {
                bytes[below(bytes.size())] = static_cast<unsigned char>(random());
            }
            break;
        case 2:
            bytes.resize(below(bytes.size() + 1));
            break;
        case 3:
            for (int i = 1 + below(64); i > 0; --i) {
                bytes.push_back(static_cast<unsigned char>(random()));
            }
            break;
        default:
            if (!fields.empty()) {
                const std::uint64_t at = fields[below(fields.size())].offset;
                const std::uint32_t value = random() % 2 ? random() : random() % 64;
                for (unsigned i = 0; i < 4 && at + i < bytes.size(); ++i) {
                    bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
                }
            }
            break;
    }
}

class SCDReaderFuzzTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto written = writeReferenceSCD(base, reference);
        ASSERT_TRUE(written);
        layout = *written;
        original = {readFileBytes(base + ".scdh"), readFileBytes(base + ".scds"),
                    readFileBytes(base + ".scdi")};
    }

    void install(const CubeFiles& files) {
        writeFileBytes(base + ".scdh", files.header);
        writeFileBytes(base + ".scds", files.spectra);
        writeFileBytes(base + ".scdi", files.images);
    }

    // Reads everything the cube claims to hold through every primitive. Spectra (images) must
    // read exactly when `spectraIntact` (`imagesIntact`).
    void readEverything(SCFile& cube, bool spectraIntact, bool imagesIntact) {
        const std::uint64_t w = cube.width();
        const std::uint64_t h = cube.height();
        const std::uint64_t d = cube.depth();
        if (w * h * d > kMaxReadValues || w * h > kMaxReadValues) {
            probeHugeCube(cube);
            return;
        }
        const std::size_t pixels = w * h;
        GuardedBuffer spectra(pixels * d);
        EXPECT_EQ(cube.readSpectrums(0, 0, static_cast<unsigned>(pixels), spectra.data()), SC_OK);
        EXPECT_TRUE(spectra.guardsIntact());

        std::vector<SCPixelPosition> positions;
        for (std::size_t p = 0; p < pixels; ++p) {
            positions.emplace_back(p % w, p / w);
        }
        std::vector<GuardedBuffer> listed(pixels, GuardedBuffer(d));
        EXPECT_EQ(cube.readSpectrumsAt(positions, dataPointers(listed)), SC_OK);

        GuardedBuffer images(pixels * d);
        EXPECT_EQ(cube.readImages(0, static_cast<unsigned>(d), images.data()), SC_OK);
        EXPECT_TRUE(images.guardsIntact());

        std::vector<unsigned> channels;
        for (unsigned c = static_cast<unsigned>(d); c > 0; --c) {
            channels.push_back(c - 1);
        }
        std::vector<GuardedBuffer> listedImages(channels.size(), GuardedBuffer(pixels));
        EXPECT_EQ(cube.readImagesAt(channels, dataPointers(listedImages)), SC_OK);

        GuardedBuffer roi(pixels);
        EXPECT_EQ(cube.computeRoiImage(0, static_cast<unsigned>(d), roi.data()), SC_OK);
        EXPECT_TRUE(roi.guardsIntact());

        for (const auto* buffers : {&listed, &listedImages}) {
            for (const GuardedBuffer& buffer : *buffers) {
                EXPECT_TRUE(buffer.guardsIntact());
            }
        }
        if (spectraIntact) {
            for (std::size_t p = 0; p < pixels; ++p) {
                EXPECT_EQ(spectra.slice(p * d, d), reference.spectrum(p % w, p / w));
            }
        }
        if (imagesIntact) {
            for (unsigned c = 0; c < d; ++c) {
                EXPECT_EQ(images.slice(c * pixels, pixels), reference.image(c));
            }
        }
    }

    void probeHugeCube(SCFile& cube) {
        if (cube.width() > 0 && cube.height() > 0 && cube.depth() <= kMaxReadValues) {
            GuardedBuffer spectrum(cube.depth());
            EXPECT_EQ(cube.readSpectrums(0, 0, 1, spectrum.data()), SC_OK);
            EXPECT_TRUE(spectrum.guardsIntact());
        }
        EXPECT_EQ(cube.readImages(cube.depth(), 0, nullptr), SC_OK);
    }

    const ReferenceCube reference = makeReferenceCube(6, 5, 24, 4, variedCount, 1.5f);
    TempDir dir;
    std::string base = dir.file("cube");
    ReferenceSCDLayout layout;
    CubeFiles original;
};

}  // namespace

TEST_F(SCDReaderFuzzTest, DamagedCubesNeverCrashOrWriteOutsideABuffer) {
    std::mt19937 random(20240613);
    int opened = 0;
    constexpr int kCases = 150;
    for (int i = 0; i < kCases; ++i) {
        CubeFiles files = original;
        // Each file is damaged in about half the cases, the header less often, so that most
        // damaged cubes still open and their streams get decoded.
        const bool damageHeader = random() % 4 == 0;
        const bool damageSpectra = random() % 2 == 0;
        const bool damageImages = random() % 2 == 0;
        if (damageHeader) {
            damage(files.header, {}, random);
        }
        if (damageSpectra) {
            damage(files.spectra, layout.spectra, random);
        }
        if (damageImages) {
            damage(files.images, layout.images, random);
        }
        install(files);
        auto cube = openSCDCube(base);
        if (!cube) {
            continue;
        }
        ++opened;
        SCOPED_TRACE("case " + std::to_string(i));
        const bool headerIntact = files.header == original.header;
        readEverything(*cube, headerIntact && files.spectra == original.spectra,
                       headerIntact && files.images == original.images);
    }
    EXPECT_GT(opened, kCases / 2);
}

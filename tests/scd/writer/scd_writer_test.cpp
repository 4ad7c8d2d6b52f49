#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <latch>
#include <thread>

#include "codec/huffman_coding.h"
#include "codec/run_length.h"
#include "io/file_stream.h"
#include "sc_api/raw_to_scd.h"
#include "sc_api/scd.h"
#include "scd/writer/stream_encoder.h"
#include "support/codec_bits.h"
#include "support/eventually.h"
#include "support/raw_cube_files.h"
#include "support/scd_cube_checks.h"
#include "support/scd_writers.h"
#include "support/temp_dir.h"

using namespace test_support;

namespace {

using Values = std::vector<unsigned short>;

struct CubeShape {
    CubeKind kind;
    unsigned width, height, depth, acquiredLines;
};

// Descriptors of this process open on a file whose path holds `part`.
int descriptorsOn(const std::string& part) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        count += !error && target.find(part) != std::string::npos;
    }
    return count;
}

class WriterIdentityTest : public ::testing::TestWithParam<CubeShape> {};

// The builder and the batch encoder write the files of the independent reference writer, and
// the cube reads back exactly in both views.
TEST_P(WriterIdentityTest, BuilderAndBatchEncoderWriteTheReferenceFiles) {
    const auto [kind, width, height, depth, acquiredLines] = GetParam();
    const ReferenceCube cube =
        randomCube(kind, width, height, depth, acquiredLines, 1000 + width * 31 + depth, 0.5f);
    TempDir dir;
    ASSERT_TRUE(writeReferenceSCD(dir.file("reference"), cube));
    ASSERT_TRUE(buildWithBuilder(dir.file("built"), cube));
    ASSERT_TRUE(encodeWithBatch(dir.file("encoded"), cube));
    EXPECT_TRUE(sameSCDFiles(dir.file("built"), dir.file("reference")));
    EXPECT_TRUE(sameSCDFiles(dir.file("encoded"), dir.file("reference")));
    if (width > 0) {  // a cube without pixels has no spectrum to read
        auto opened = openSCDCube(dir.file("built"));
        ASSERT_TRUE(opened);
        EXPECT_TRUE(readsExactly(*opened, cube));
    }
    if (width == 0 || height == 0 || depth == 0) {
        return;  // no raw cube has a zero dimension
    }
    // RawToSCD reads its raw file once, keeping the spectra's symbols from the counting pass:
    // the same files as the reference writer's of the whole cube, and no temporary left.
    ReferenceCube whole = cube;
    whole.factor = 1.0f;
    whole.acquiredLines = height;
    whole.values.resize(std::size_t{width} * height * depth, 0);
    ASSERT_TRUE(writeReferenceSCD(dir.file("whole"), whole));
    writeRawCube(dir.file("raw"), width, height, depth, SCRawHeader::RECORD_BY_VECTOR,
                 [&](unsigned x, unsigned y, unsigned c) { return whole.count(x, y, c); });
    ASSERT_EQ(RawToSCD::encode(dir.file("raw"), dir.file("converted")), SC_OK);
    EXPECT_TRUE(sameSCDFiles(dir.file("converted"), dir.file("whole")));
    for (const std::string& file : filesIn(dir.path())) {
        EXPECT_EQ(file.find("__tmp"), std::string::npos) << file;
    }
}

// Fewer lines stored than the cube has, or none, make the images end in zeros; 70 lines take
// several blocks in the batch encoder and of 16 streams in the stream encoder;
// widths and depths beyond 64 and not multiples of 8 take whole and partial tiles of the
// transposition into channel images.
const std::vector<CubeShape> kShapes = {
    {CubeKind::kRandomRuns, 7, 5, 300, 5}, {CubeKind::kSparse, 9, 6, 700, 6},
    {CubeKind::kDense, 5, 4, 33, 4},       {CubeKind::kRandomRuns, 4, 9, 40, 3},
    {CubeKind::kSparse, 6, 5, 20, 0},      {CubeKind::kSparse, 3, 70, 12, 70},
    {CubeKind::kDense, 37, 40, 67, 35},    {CubeKind::kRandomRuns, 70, 33, 130, 33},
    {CubeKind::kDense, 0, 3, 4, 3},        {CubeKind::kDense, 3, 0, 4, 0},
    {CubeKind::kDense, 3, 2, 0, 2},        {CubeKind::kDense, 0, 0, 0, 0}};
INSTANTIATE_TEST_SUITE_P(Cubes, WriterIdentityTest, ::testing::ValuesIn(kShapes));

class StreamEncoderTest : public ::testing::Test {
  protected:
    // `count` items of `size` random values, and the code table of their symbols.
    ReferenceCube items(unsigned count, unsigned size, std::uint32_t seed) {
        ReferenceCube cube = randomCube(CubeKind::kRandomRuns, count, 1, size, 1, seed);
        std::vector<Values> spectra;
        for (unsigned i = 0; i < count; ++i) {
            spectra.push_back(cube.spectrum(i, 0));
        }
        computeHuffmanCodes(buildHuffmanTree(countSymbols(spectra)), header.codes());
        return cube;
    }

    std::string encode(MemorySpectrumReader& reader, unsigned count) {
        SystemOutputFileStream out(path);
        encodeStreams(reader, count, offsets, out, header);
        out.close();
        return readFileText(path);
    }

    // The streams of the first `count` items back to back; their offsets go to expectedOffsets.
    std::string streamsOf(const ReferenceCube& cube, unsigned count) {
        ByteWriter streams;
        for (unsigned i = 0; i < count; ++i) {
            BitVector bits;
            EXPECT_TRUE(
                encodeValues(&cube.values[i * cube.depth], cube.depth, header.codes(), bits));
            expectedOffsets.push_back(streams.str().size());
            streams.u32(bits.bitCount()).bits(bits);
        }
        return streams.str();
    }

    TempDir dir;
    std::string path = dir.file("streams");
    SCDHeader header;
    std::vector<std::uint64_t> offsets = {7, 7};
    std::vector<std::uint64_t> expectedOffsets;
};

// Four chunks go round more chunk buffers than there are workers: the streams still come out
// in item order.
TEST_F(StreamEncoderTest, ItemsGoInChunksOfAThousandAndTheStreamsInItemOrder) {
    const ReferenceCube cube = items(4000, 100, 2);
    MemorySpectrumReader reader(cube);
    EXPECT_EQ(encode(reader, 4000), streamsOf(cube, 4000));
    EXPECT_EQ(offsets, expectedOffsets);
    EXPECT_EQ(reader.requestedCounts, (std::vector<unsigned>{1024, 1024, 1024, 928}));

    path = dir.file("no_streams");
    EXPECT_EQ(encode(reader, 0), "");  // no item: nothing read or written, no offset
    EXPECT_TRUE(offsets.empty());
    EXPECT_EQ(reader.requestedCounts.size(), 4u);
}

TEST_F(StreamEncoderTest, AReaderEndingEarlyLeavesTheOffsetsOfTheMissingItemsZero) {
    const ReferenceCube cube = items(20, 50, 4);
    MemorySpectrumReader reader(cube);
    EXPECT_EQ(encode(reader, 33), streamsOf(cube, 20));
    expectedOffsets.resize(33, 0);
    EXPECT_EQ(offsets, expectedOffsets);
}

TEST_F(StreamEncoderTest, AnItemWithASymbolMissingFromTheTableIsWrittenEmpty) {
    ReferenceCube cube = items(3, 40, 8);
    const std::string streams = streamsOf(cube, 3);
    std::fill_n(cube.values.begin() + 40, 40, 12345);
    MemorySpectrumReader reader(cube);
    EXPECT_DEBUG_DEATH(
        EXPECT_EQ(encode(reader, 3), streams.substr(0, expectedOffsets[1]) + std::string(4, '\0') +
                                         streams.substr(expectedOffsets[2])),
        "lacks a symbol");
}

using Names = std::set<std::string>;

const Names kCubeFiles = {"cube.scdh", "cube.scds", "cube.scdi"};
const Names kTemporaryFiles = {"cube__tmp_spectrum_file", "cube__tmp_image_file.raw",
                               "cube__tmp_image_symbols", "cube__tmp_spectrum_symbols",
                               "cube__tmp_journal"};

class SCDBuilderTest : public ::testing::Test {
  protected:
    // A builder of `cube` that has been given its first `lines` lines.
    SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builderWith(unsigned lines) {
        auto builder = SCD::getBuilder(base, cube.width, cube.height, cube.depth, cube.factor);
        for (unsigned y = 0; builder && y < lines; ++y) {
            EXPECT_EQ(builder->addSpectrumLine(cube.values.data() + y * 5 * 30), SC_OK);
        }
        return builder;
    }

    TempDir dir;
    std::string base = dir.file("cube");
    ReferenceCube cube = randomCube(CubeKind::kRandomRuns, 5, 4, 30, 4, 77, 0.25f);
};

// A builder destroyed without close leaves its temporary files; one closed, the cube files only.
TEST_F(SCDBuilderTest, CloseLeavesTheCubeFilesOnlyAndEveryLaterCallIsRefused) {
    ASSERT_TRUE(builderWith(2));
    EXPECT_EQ(filesIn(dir.path()), kTemporaryFiles);
    EXPECT_EQ(fileSize(base + "__tmp_spectrum_file"), 2u * 5 * 30 * 2);

    auto builder = builderWith(4);
    ASSERT_TRUE(builder);
    EXPECT_EQ(builder->addSpectrumLine(cube.values.data()), SC_OUT_OF_RANGE);  // beyond the height
    ASSERT_EQ(builder->close(), SC_OK);
    EXPECT_EQ(filesIn(dir.path()), kCubeFiles);
    // The temporaries' data are freed in the background, soon.
    EXPECT_TRUE(eventually([&] { return descriptorsOn(base + "__tmp") == 0; }));

    Values roi(20);
    EXPECT_EQ(builder->addSpectrumLine(cube.values.data()), SC_FILE_ERROR);
    EXPECT_EQ(builder->computeRoiImage(0, 1, roi.data()), SC_FILE_ERROR);
    EXPECT_EQ(builder->close(), SC_FILE_ERROR);
    EXPECT_EQ(builder->cancel(), SC_FILE_ERROR);
    EXPECT_EQ(filesIn(dir.path()), kCubeFiles);
    ASSERT_TRUE(writeReferenceSCD(dir.file("reference"), cube));
    EXPECT_TRUE(sameSCDFiles(base, dir.file("reference")));
}

// Lines are buffered in blocks: a ROI image taken after any line, whether the line is still in
// memory, in the processor or in the temporary image file, sums exactly the lines added.
// A builder holds some bytes per channel until close: one asked for four billion channels (as
// a remote caller may ask) is refused at once, creating nothing, instead of exhausting memory.
TEST(SCDBuilderLimitsTest, ABuilderOfBillionsOfChannelsIsRefusedAtOnce) {
    TempDir dir;
    EXPECT_FALSE(SCD::getBuilder(dir.file("cube"), 1, 1, 4'000'000'000u, 1.0f));
    EXPECT_FALSE(SCD::getBuilder(dir.file("cube"), 0xFFFFFFFFu, 0xFFFFFFFFu, 1, 1.0f));
    EXPECT_TRUE(filesIn(dir.path()).empty());
    EXPECT_TRUE(SCD::getBuilder(dir.file("cube"), 4, 3, 5, 1.0f)) << "ordinary sizes still work";
}

TEST(SCDBuilderBlocksTest, RoiImagesAfterEveryLineCountTheBufferedLines) {
    TempDir dir;
    const ReferenceCube cube = randomCube(CubeKind::kRandomRuns, 7, 70, 9, 70, 5, 0.5f);
    auto builder = SCD::getBuilder(dir.file("cube"), cube.width, cube.height, cube.depth, 0.5f);
    ASSERT_TRUE(builder);
    const std::size_t lineValues = std::size_t{cube.width} * cube.depth;
    for (unsigned y = 0; y < cube.height; ++y) {
        ASSERT_EQ(builder->addSpectrumLine(cube.values.data() + y * lineValues), SC_OK);
        const unsigned first = y % 4;
        const unsigned count = 1 + y % (cube.depth - first);
        Values roi(std::size_t{cube.width} * cube.height, 0xFFFF);
        ASSERT_EQ(builder->computeRoiImage(first, count, roi.data()), SC_OK);
        for (unsigned p = 0; p < roi.size(); ++p) {
            std::uint64_t sum = 0;
            for (unsigned c = first; c < first + count && p / cube.width <= y; ++c) {
                sum += cube.count(p % cube.width, p / cube.width, c);
            }
            ASSERT_EQ(roi[p], static_cast<unsigned short>(sum / 2)) << "line " << y;
        }
    }
    ASSERT_EQ(builder->close(), SC_OK);
    ASSERT_TRUE(writeReferenceSCD(dir.file("reference"), cube));
    EXPECT_TRUE(sameSCDFiles(dir.file("cube"), dir.file("reference")));
}

TEST_F(SCDBuilderTest, RoiImageSumsTheLinesAddedSoFarUntilCancelWhichLeavesNothing) {
    auto builder = builderWith(2);
    ASSERT_TRUE(builder);
    Values roi(20, 0xFFFF);
    ASSERT_EQ(builder->computeRoiImage(3, 20, roi.data()), SC_OK);
    for (unsigned y = 0; y < 4; ++y) {
        for (unsigned x = 0; x < 5; ++x) {
            std::uint64_t sum = 0;
            for (unsigned c = 3; c < 23 && y < 2; ++c) {
                sum += cube.count(x, y, c);
            }
            EXPECT_EQ(roi[y * 5 + x], static_cast<unsigned short>(sum / 4)) << x << ", " << y;
        }
    }
    EXPECT_EQ(builder->computeRoiImage(25, 6, roi.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(builder->computeRoiImage(0xFFFFFFFFu, 2, roi.data()), SC_OUT_OF_RANGE);
    EXPECT_EQ(builder->computeRoiImage(25, 5, roi.data()), SC_OK);

    EXPECT_EQ(builder->cancel(), SC_OK);
    EXPECT_EQ(builder->computeRoiImage(0, 1, roi.data()), SC_FILE_ERROR);
    EXPECT_FALSE(SCD::getBuilder(dir.file("missing/cube"), 4, 4, 4, 1.0f));
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

// A source of 40 lines that ends inside line 38 is counted in blocks of 4, 4, 8, 16 and 8 lines,
// each asked for no more than the lines left, then read again and coded in one chunk: the data
// files are those of its 38 whole lines, and the spectra of the other lines keep the offset 0.
TEST(SCDEncode, ASourceEndingInsideALineStoresTheWholeLinesBeforeIt) {
    TempDir dir;
    const ReferenceCube cube = randomCube(CubeKind::kRandomRuns, 3, 40, 50, 40, 3);
    MemorySpectrumReader reader(cube);
    reader.end = 38 * 3 + 2;
    ASSERT_EQ(SCD::encode(reader, dir.file("cube")), SC_OK);
    EXPECT_EQ(reader.requestedCounts,
              (std::vector<unsigned>{4 * 3, 4 * 3, 8 * 3, 16 * 3, 8 * 3, 38 * 3}));
    ReferenceCube wholeLines = cube;
    wholeLines.acquiredLines = 38;
    wholeLines.values.resize(38 * 3 * 50);
    ASSERT_TRUE(writeReferenceSCD(dir.file("reference"), wholeLines));
    for (const char* extension : {".scds", ".scdi"}) {
        EXPECT_EQ(readFileBytes(dir.file("cube") + extension),
                  readFileBytes(dir.file("reference") + extension));
    }
    SCDHeader header, expected;
    std::ifstream headerFile(dir.file("cube.scdh"), std::ios::binary);
    std::ifstream referenceFile(dir.file("reference.scdh"), std::ios::binary);
    ASSERT_TRUE(header.read(headerFile) == SC_OK && expected.read(referenceFile) == SC_OK);
    expected.spectrumOffsets().resize(120, 0);
    EXPECT_EQ(header.acquiredLines(), 40u);
    EXPECT_EQ(header.spectrumOffsets(), expected.spectrumOffsets());
}

// Values above 65535 too, so that only their low 16 bits may reach the SCD cube.
std::uint32_t wideValue(unsigned x, unsigned y, unsigned c) {
    return c % 3 == 0 ? 0 : 70000u * (c % 2) + x * 11 + y * 3 + c;
}

TEST(RawToSCD, AnImageOrderedCubeGivesTheFilesOfItsVectorOrderedTwin) {
    TempDir dir;
    writeRawCube(dir.file("image"), 37, 41, 23, SCRawHeader::RECORD_BY_IMAGE, wideValue);
    writeRawCube(dir.file("vector"), 37, 41, 23, SCRawHeader::RECORD_BY_VECTOR, wideValue);
    ASSERT_EQ(RawToSCD::encode(dir.file("image"), dir.file("from_image")), SC_OK);
    ASSERT_EQ(RawToSCD::encode(dir.file("vector"), dir.file("from_vector")), SC_OK);
    EXPECT_TRUE(sameSCDFiles(dir.file("from_image"), dir.file("from_vector")));
    ASSERT_TRUE(
        writeReferenceSCD(dir.file("reference"),
                          makeReferenceCube(37, 41, 23, 41, [](unsigned x, unsigned y, unsigned c) {
                              return static_cast<unsigned short>(wideValue(x, y, c));
                          })));
    EXPECT_TRUE(sameSCDFiles(dir.file("from_image"), dir.file("reference")));
}

TEST(RawToSCD, RefusedSourcesGiveFileErrorAndCreateNothing) {
    TempDir dir;
    const std::string raw = dir.file("raw");
    const std::string scd = dir.file("scd");
    EXPECT_EQ(RawToSCD::encode(raw, scd), SC_FILE_ERROR);
    writeFileText(raw + ".rpl", rplText(4, 3, 5, SCRawHeader::RECORD_BY_VECTOR));
    EXPECT_EQ(RawToSCD::encode(raw, scd), SC_FILE_ERROR);
    writeFileBytes(raw + ".raw", std::vector<unsigned char>(4 * 3 * 5 * 4 - 1));
    EXPECT_EQ(RawToSCD::encode(raw, scd), SC_FILE_ERROR);

    std::string text = rplText(4, 3, 5, SCRawHeader::RECORD_BY_VECTOR);
    text.replace(text.find("data-length\t4"), 13, "data-length\t2");
    writeFileText(raw + ".rpl", text);
    writeFileBytes(raw + ".raw", std::vector<unsigned char>(4 * 3 * 5 * 4));
    EXPECT_EQ(RawToSCD::encode(raw, scd), SC_FILE_ERROR);
    EXPECT_EQ(filesIn(dir.path()), (Names{"raw.rpl", "raw.raw"}));
}

// The temporary files' names are gone when the conversion returns; their data, freed in the
// background, soon after.
TEST(RawToSCD, LeavesNoTemporaryFileAndSoonNoDescriptorOfOne) {
    TempDir dir;
    writeRawCube(dir.file("raw"), 20, 10, 300, SCRawHeader::RECORD_BY_VECTOR, wideValue);
    ASSERT_EQ(RawToSCD::encode(dir.file("raw"), dir.file("scd")), SC_OK);
    for (const std::string& file : filesIn(dir.path())) {
        EXPECT_EQ(file.find("__tmp"), std::string::npos) << file;
    }
    EXPECT_TRUE(eventually([&] { return descriptorsOn(dir.path() + "/scd__tmp") == 0; }));
}

// Builders and batch encodings at once, next to readers of finished cubes: every one ends (a
// deadlock aborts the test) with the reference files or exact reads.
TEST(WriterConcurrency, ManyBuildersEncodersAndReadersRunAtOnce) {
    constexpr int kWriters = 24;
    constexpr int kReaders = 4;
    TempDir dir;
    std::vector<ReferenceCube> cubes;
    std::vector<std::unique_ptr<SCFile>> opened;
    const auto reference = [&](int i) { return dir.file("reference" + std::to_string(i % 3)); };
    for (int i = 0; i < 3; ++i) {
        cubes.push_back(randomCube(static_cast<CubeKind>(i), 6, 5, 48 + 8 * i, 5, 500 + i));
        ASSERT_TRUE(writeReferenceSCD(reference(i), cubes[i]));
        opened.push_back(openSCDCube(reference(i)));
        ASSERT_TRUE(opened.back());
    }
    std::latch start(kWriters + kReaders);
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kWriters + kReaders; ++i) {
        threads.emplace_back([&, i] {
            const std::string base = dir.file("cube" + std::to_string(i));
            start.arrive_and_wait();
            if (i < kWriters) {
                const ::testing::AssertionResult written =
                    i % 2 ? buildWithBuilder(base, cubes[i % 3])
                          : encodeWithBatch(base, cubes[i % 3]);
                EXPECT_TRUE(written ? sameSCDFiles(base, reference(i)) : written) << "writer " << i;
            }
            for (bool again = i >= kWriters; again;) {
                const ::testing::AssertionResult exact = readsExactly(*opened[i % 3], cubes[i % 3]);
                EXPECT_TRUE(exact) << "reader " << i;
                again = exact && finished.load() < kWriters;
            }
            ++finished;
        });
    }
    if (!eventually([&] { return finished.load() == kWriters + kReaders; },
                    std::chrono::seconds(120))) {
        std::fprintf(stderr, "writers still running after 2 minutes: deadlock\n");
        std::abort();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

}  // namespace

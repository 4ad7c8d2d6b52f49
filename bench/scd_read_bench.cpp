// Decoding throughput of the SCD reader on a cube of realistic spectrum-image data from the
// synthetic generator (128 x 128 pixels, 2048 channels, about 300 counts per pixel): spectra
// read a line at a time and in batches of 32 pixels (the region-spectrum path), channel images
// in runs of 32, the ROI image over all channels, and, for comparison, the same image streams
// decoded on one thread without the processor. Rates are counts (values) delivered per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "codec/huffman_coding.h"
#include "codec/huffman_decoding_table.h"
#include "codec/run_length.h"
#include "sc_api/sc_file.h"
#include "sc_api/scd.h"
#include "scd/format/scd_header.h"
#include "synth/eds_synthesizer.h"

namespace {

namespace fs = std::filesystem;

// The cube, written once for the whole run with the library's line builder and removed at
// exit.
class BenchCube {
  public:
    BenchCube() : directory_(fs::temp_directory_path() / "sc_api_scd_read_bench") {
        fs::create_directories(directory_);
        base_ = (directory_ / "demo").string();
        const eds::SpectrumImageSynthesizer synthesizer;
        const eds::SynthesisOptions& options = synthesizer.options();
        auto builder =
            SCD::getBuilder(base_, options.width, options.height, options.channels, 1.0f);
        std::vector<unsigned short> line(std::size_t{options.width} * options.channels);
        for (unsigned y = 0; y < options.height; ++y) {
            synthesizer.synthesizeLine(y, line.data());
            builder->addSpectrumLine(line.data());
        }
        builder->close();
        file_.reset(SCD::openSCD(base_));
    }
    ~BenchCube() {
        file_.reset();
        std::error_code ignored;
        fs::remove_all(directory_, ignored);
    }

    SCFile& file() { return *file_; }
    const std::string& base() const { return base_; }
    std::int64_t values() const {
        return std::int64_t{file_->width()} * file_->height() * file_->depth();
    }

  private:
    fs::path directory_;
    std::string base_;
    std::unique_ptr<SCFile> file_;
};

BenchCube& benchCube() {
    static BenchCube cube;
    return cube;
}

void readSpectraByLine(benchmark::State& state) {
    SCFile& cube = benchCube().file();
    const unsigned w = cube.width();
    std::vector<unsigned short> line(std::size_t{w} * cube.depth());
    for (auto _ : state) {
        for (unsigned y = 0; y < cube.height(); ++y) {
            cube.readSpectrums(0, y, w, line.data());
        }
        benchmark::DoNotOptimize(line.data());
    }
    state.SetItemsProcessed(state.iterations() * benchCube().values());
}

void readSpectraInBatchesOf32(benchmark::State& state) {
    SCFile& cube = benchCube().file();
    const unsigned d = cube.depth();
    std::vector<unsigned short> spectra(32 * std::size_t{d});
    std::vector<unsigned short*> outs;
    for (unsigned i = 0; i < 32; ++i) {
        outs.push_back(spectra.data() + std::size_t{i} * d);
    }
    const unsigned pixels = cube.width() * cube.height();
    std::vector<SCPixelPosition> batch;
    for (auto _ : state) {
        for (unsigned p = 0; p < pixels; p += 32) {
            batch.clear();
            for (unsigned q = p; q < p + 32 && q < pixels; ++q) {
                batch.emplace_back(q % cube.width(), q / cube.width());
            }
            cube.readSpectrumsAt(batch, outs);
        }
        benchmark::DoNotOptimize(spectra.data());
    }
    state.SetItemsProcessed(state.iterations() * benchCube().values());
}

void readImagesInRunsOf32(benchmark::State& state) {
    SCFile& cube = benchCube().file();
    const std::size_t imageSize = std::size_t{cube.width()} * cube.height();
    std::vector<unsigned short> images(32 * imageSize);
    for (auto _ : state) {
        for (unsigned first = 0; first < cube.depth(); first += 32) {
            cube.readImages(first, std::min(32u, cube.depth() - first), images.data());
        }
        benchmark::DoNotOptimize(images.data());
    }
    state.SetItemsProcessed(state.iterations() * benchCube().values());
}

void computeRoiImageOverAllChannels(benchmark::State& state) {
    SCFile& cube = benchCube().file();
    std::vector<unsigned short> roi(std::size_t{cube.width()} * cube.height());
    for (auto _ : state) {
        cube.computeRoiImage(0, cube.depth(), roi.data());
        benchmark::DoNotOptimize(roi.data());
    }
    state.SetItemsProcessed(state.iterations() * benchCube().values());
}

// The image streams held in memory, decoded one after another on the calling thread: the cost
// of the decoding alone, without file reads or the processor.
void decodeImagesOnOneThread(benchmark::State& state) {
    BenchCube& bench = benchCube();
    SCDHeader header;
    {
        std::ifstream in(bench.base() + ".scdh", std::ios::binary);
        header.read(in);
    }
    const HuffmanTree tree = buildHuffmanTreeFromCodes(header.codes());
    const HuffmanDecodingTable table(tree.get());
    std::ifstream data(bench.base() + ".scdi", std::ios::binary);
    std::vector<BitVector> streams;
    for (const std::uint64_t offset : header.imageOffsets()) {
        unsigned char length[4] = {};
        data.seekg(static_cast<std::streamoff>(offset));
        data.read(reinterpret_cast<char*>(length), 4);
        BitVector bits(std::uint32_t{length[0]} | std::uint32_t{length[1]} << 8 |
                       std::uint32_t{length[2]} << 16 | std::uint32_t{length[3]} << 24);
        data.read(reinterpret_cast<char*>(bits.data()), bits.byteCount());
        streams.push_back(std::move(bits));
    }
    const std::size_t imageSize = std::size_t{header.width()} * header.height();
    std::vector<unsigned short> image(imageSize);
    std::vector<SCSymbol> scratch;
    for (auto _ : state) {
        for (const BitVector& bits : streams) {
            if (!decodeStream(bits, table, image.data(), imageSize, scratch)) {
                state.SkipWithError("an image stream did not decode");
                return;
            }
        }
        benchmark::DoNotOptimize(image.data());
    }
    state.SetItemsProcessed(state.iterations() * bench.values());
}

// The same streams added into per-pixel sums on the calling thread, zero runs skipped: the
// decoding cost of a ROI image over all channels.
void sumImagesOnOneThread(benchmark::State& state) {
    BenchCube& bench = benchCube();
    SCDHeader header;
    {
        std::ifstream in(bench.base() + ".scdh", std::ios::binary);
        header.read(in);
    }
    const HuffmanTree tree = buildHuffmanTreeFromCodes(header.codes());
    const HuffmanDecodingTable table(tree.get());
    std::ifstream data(bench.base() + ".scdi", std::ios::binary);
    std::vector<std::vector<unsigned char>> streams;
    for (const std::uint64_t offset : header.imageOffsets()) {
        unsigned char length[4] = {};
        data.seekg(static_cast<std::streamoff>(offset));
        data.read(reinterpret_cast<char*>(length), 4);
        const std::uint32_t bitCount = std::uint32_t{length[0]} | std::uint32_t{length[1]} << 8 |
                                       std::uint32_t{length[2]} << 16 |
                                       std::uint32_t{length[3]} << 24;
        std::vector<unsigned char> bytes(4 + BitVector::bytesFor(bitCount) +
                                         HuffmanDecodingTable::kBytePadding);
        std::copy_n(length, 4, bytes.begin());
        data.read(reinterpret_cast<char*>(bytes.data() + 4),
                  static_cast<std::streamsize>(BitVector::bytesFor(bitCount)));
        streams.push_back(std::move(bytes));
    }
    const std::size_t imageSize = std::size_t{header.width()} * header.height();
    std::vector<std::uint64_t> sums(imageSize);
    for (auto _ : state) {
        for (const auto& bytes : streams) {
            const std::uint32_t bitCount = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                           std::uint32_t{bytes[2]} << 16 |
                                           std::uint32_t{bytes[3]} << 24;
            if (!addStreamValues(bytes.data() + 4, bitCount, table, sums.data(), imageSize)) {
                state.SkipWithError("an image stream did not decode");
                return;
            }
        }
        benchmark::DoNotOptimize(sums.data());
    }
    state.SetItemsProcessed(state.iterations() * bench.values());
}

}  // namespace

// Work runs on the processor's workers: real time is what a caller waits. Five repetitions each,
// reported as aggregates (the median is the figure to quote).
#define SCD_READ_BENCHMARK(function)    \
    BENCHMARK(function)                 \
        ->UseRealTime()                 \
        ->Unit(benchmark::kMillisecond) \
        ->Repetitions(5)                \
        ->ReportAggregatesOnly(true)

SCD_READ_BENCHMARK(readSpectraByLine);
SCD_READ_BENCHMARK(readSpectraInBatchesOf32);
SCD_READ_BENCHMARK(readImagesInRunsOf32);
SCD_READ_BENCHMARK(computeRoiImageOverAllChannels);
SCD_READ_BENCHMARK(decodeImagesOnOneThread);
BENCHMARK(sumImagesOnOneThread)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();

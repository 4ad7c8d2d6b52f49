#include "scd/writer/batch_encoding.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <new>
#include <optional>
#include <utility>

#include "api/sample_buffer.h"
#include "codec/run_length.h"
#include "sc_api/scd.h"
#include "scd/writer/channel_rows.h"
#include "scd/writer/cube_completion.h"
#include "scd/writer/item_queue.h"
#include "scd/writer/scd_line_actions.h"
#include "scd/writer/stream_encoder.h"
#include "scd/writer/temporary_file_removal.h"

namespace {

using lattix::lx_tuplink::ActionList;
using lattix::lx_tuplink::ActionRef;
using lattix::lx_tuplink::Processor;

const char* const kImageFileSuffix = "__tmp__raw__image.raw";
const char* const kSpectrumFileSuffix = "__tmp_spectrum_symbols";

// Lines of a block, once counting has started: 2 x 16 lines of 16-bit values in memory, and few
// enough blocks that each channel image is read back from the kept symbols in few pieces.
constexpr unsigned kBlockLines = 16;
constexpr unsigned kFirstBlockLines = 4;
constexpr int kRunLengthWorkers = 8;
// Channel ranges of a block laid out, counted and written by actions of their own.
constexpr unsigned kChannelRanges = 8;
// Spectrum ranges of a block counted and kept by actions of their own, when the source is read
// once.
constexpr unsigned kSpectrumRanges = 8;
// Memory a writer holds per channel until the cube is written: its image offset, its open run,
// its entries in the symbol stores' block indexes, with room to spare.
constexpr std::uint64_t kBytesPerChannel = 64;
// The block processor: one LineProcessorAction at a time.
constexpr unsigned kBlockThreads = 1;

// Lines of the block read after `counted` lines: the first blocks are small, so that counting
// starts soon after the source is opened, then each is as long as all before it, up to
// kBlockLines.
unsigned nextBlockLines(unsigned counted) {
    return std::min(kBlockLines, std::max(kFirstBlockLines, counted));
}

SCDHeader headerOf(const SCSpectrumReader& reader) {
    return SCDHeader(reader.width(), reader.height(), reader.depth(),
                     std::min(reader.acquiredLines(), reader.height()), reader.factor());
}

// reader.read, a failure or an exception giving -1.
int readItems(SCSpectrumReader& reader, unsigned short* buffer, unsigned count) {
    try {
        return reader.read(buffer, count);
    } catch (...) {
        return -1;
    }
}

}  // namespace

int encodeBatch(SCSpectrumReader& reader, const std::string& name,
                BatchEncoding::SourceReads reads) {
    if (!reader.isOpen()) {
        return SC_FILE_ERROR;
    }
    if (!writerStateFitsInMemory(reader.width(), reader.height(), reader.depth())) {
        return SC_ALLOCATION_ERROR;
    }
    try {
        BatchEncoding encoding(reader, name, reads);
        if (!encoding.isReady()) {
            return SC_FILE_ERROR;
        }
        return encoding.run();
    } catch (const std::bad_alloc&) {
        return SC_ALLOCATION_ERROR;
    } catch (...) {
        // An exception from the caller's reader.
        return SC_WRITE_ERROR;
    }
}

bool writerStateFitsInMemory(unsigned width, unsigned height, unsigned depth) {
    const std::uint64_t pixels = std::uint64_t{width} * height;  // at most 2^64 - 2^33 + 1
    const std::optional<std::uint64_t> pixelBytes = checkedProduct(pixels, sizeof(std::uint64_t));
    const std::uint64_t channelBytes = std::uint64_t{depth} * kBytesPerChannel;
    return pixelBytes && *pixelBytes <= UINT64_MAX - channelBytes &&
           fitsInMemory(*pixelBytes + channelBytes);
}

BatchEncoding::BatchEncoding(SCSpectrumReader& reader, const std::string& name, SourceReads reads)
    : name_(name),
      reader_(&reader),
      header_(headerOf(reader)),
      accumulator_(reader.width(), reader.height(), reader.depth(), counts_),
      imageSymbols_(name + kImageFileSuffix, reader.depth()) {
    if (reads == SourceReads::kOnce) {
        spectrumSymbols_ = std::make_unique<SpectrumSymbolStore>(name + kSpectrumFileSuffix);
    }
}

int BatchEncoding::run() {
    const unsigned linesCounted = countLines();
    // What completes each channel image after its stored symbols, kept before finish() counts it.
    openRuns_ = accumulator_.openRuns();
    missingZeros_ = accumulator_.missingZeros();
    accumulator_.finish();
    SCErrorCode result = failure_.load();
    if (result == SC_OK) {
        result = writeCube(linesCounted);
    }
    // After a success the temporary files' data are freed in the background; after a failure
    // at once, so that a full disk has its room back when the call returns.
    const bool inBackground = result == SC_OK;
    TemporaryFileRemoval images(imageSymbols_.path(), inBackground);
    imageSymbols_.close();
    images.remove();
    if (spectrumSymbols_) {
        TemporaryFileRemoval spectra(spectrumSymbols_->path(), inBackground);
        spectrumSymbols_->close();
        spectra.remove();
    }
    if (result != SC_OK) {
        std::remove((name_ + SCD::SPECTRUM_FILE_EXTENSION).c_str());
        std::remove((name_ + SCD::IMAGE_FILE_EXTENSION).c_str());
    }
    return result;
}

void BatchEncoding::fail(SCErrorCode code) {
    SCErrorCode none = SC_OK;
    failure_.compare_exchange_strong(none, code);
}

unsigned BatchEncoding::countLines() {
    const unsigned width = header_.width();
    const unsigned lines = header_.acquiredLines();
    const std::uint64_t lineValues = std::uint64_t{width} * header_.depth();
    if (width == 0 || lines == 0 || std::uint64_t{kBlockLines} * width > INT_MAX) {
        return 0;
    }
    const std::uint64_t blockValues = std::max<std::uint64_t>(kBlockLines * lineValues, 1);
    LargeSamples<unsigned short> blocks[2] = {allocateLargeSamples<unsigned short>(blockValues),
                                              allocateLargeSamples<unsigned short>(blockValues)};
    if (!blocks[0] || !blocks[1]) {
        fail(SC_ALLOCATION_ERROR);
        return 0;
    }
    Processor blockProcessor(kBlockThreads);
    unsigned counted = 0;
    unsigned wanted = std::min(nextBlockLines(0), lines) * width;
    int got = readItems(*reader_, blocks[0].get(), wanted);
    while (got > 0) {
        const unsigned blockLines = std::min(static_cast<unsigned>(got), wanted) / width;
        if (blockLines == 0) {
            break;
        }
        const ActionRef action(new LineProcessorAction(blocks[0].get(), blockLines, *this));
        blockProcessor.post(action);
        counted += blockLines;
        // A short read, or one that ends inside a line, is the end of the source.
        const bool more = static_cast<unsigned>(got) == wanted && counted < lines;
        wanted = std::min(nextBlockLines(counted), lines - counted) * width;
        got = more ? readItems(*reader_, blocks[1].get(), wanted) : 0;
        blockProcessor.wait(action, 0);
        std::swap(blocks[0], blocks[1]);
    }
    writeKept(kept_[1 - counting_]);
    if (got < 0) {
        fail(SC_FILE_ERROR);
    }
    return counted;
}

void BatchEncoding::processBlock(const unsigned short* block, unsigned lines) {
    const unsigned width = header_.width();
    const unsigned depth = header_.depth();
    ItemQueue<MultiThreadingPolicy> spectra(block, depth, lines * width);
    KeptBlock& kept = kept_[counting_];
    ActionList actions;
    countedBlock_ = block;
    countedLines_ = lines;
    nextRange_.store(0);
    try {
        // The channel ranges take longer than the spectrum ranges: taken first, they leave the
        // short ones to even out the workers' ends.
        const unsigned rangeChannels = std::max(1u, (depth + kChannelRanges - 1) / kChannelRanges);
        kept.channelRanges = (depth + rangeChannels - 1) / rangeChannels;
        if (kept.channels.size() < kept.channelRanges) {
            kept.channels.resize(kept.channelRanges);
        }
        for (unsigned i = 0; i < kept.channelRanges; ++i) {
            const unsigned first = i * rangeChannels;
            RangeSymbols& symbols = kept.channels[i];
            symbols.firstChannel = first;
            symbols.endChannel = std::min(depth, first + rangeChannels);
            symbols.symbols.clear();
            symbols.ends.resize(symbols.endChannel - first);
        }
        kept.spectrumRanges = 0;
        if (spectrumSymbols_) {
            const std::size_t count = std::size_t{lines} * width;
            rangeSpectra_ =
                std::max<std::size_t>(1, (count + kSpectrumRanges - 1) / kSpectrumRanges);
            kept.spectrumRanges =
                static_cast<unsigned>((count + rangeSpectra_ - 1) / rangeSpectra_);
            if (kept.spectra.size() < kept.spectrumRanges) {
                kept.spectra.resize(kept.spectrumRanges);
            }
            for (unsigned i = 0; i < kept.spectrumRanges; ++i) {
                kept.spectra[i].clear();
            }
        }
        const ActionRef worker(new RangeWorkerAction(*this));
        for (unsigned i = 0; i < encoderThreads(); ++i) {
            actions.add(worker);
        }
        if (!spectrumSymbols_) {
            const ActionRef runLength(new RunLengthEncodingExecutorThread(spectra, counts_));
            for (int i = 0; i < kRunLengthWorkers; ++i) {
                actions.add(runLength);
            }
        }
    } catch (...) {
        fail(SC_ALLOCATION_ERROR);
        return;
    }
    Processor& processor = SCD::getProcessor();
    processor.post(actions);
    // The block before this one goes to the stores while this one is counted.
    writeKept(kept_[1 - counting_]);
    actions.wait(processor, 0);
    accumulator_.commitLines(lines);
    kept.pending = true;
    counting_ = 1 - counting_;
}

void BatchEncoding::countRanges() {
    KeptBlock& kept = kept_[counting_];
    const unsigned total = kept.channelRanges + kept.spectrumRanges;
    try {
        // One tally for all the ranges this worker takes: added to the shared counts once.
        SymbolTally tally;
        for (unsigned i = nextRange_.fetch_add(1); i < total; i = nextRange_.fetch_add(1)) {
            if (i < kept.channelRanges) {
                processChannels(kept.channels[i], tally);
            } else {
                processSpectra(i - kept.channelRanges, kept.spectra[i - kept.channelRanges], tally);
            }
        }
        counts_.add(tally);
    } catch (...) {
        fail(SC_ALLOCATION_ERROR);
    }
}

void BatchEncoding::writeKept(KeptBlock& kept) {
    if (!kept.pending) {
        return;
    }
    kept.pending = false;
    if (failure_.load() != SC_OK) {
        return;
    }
    for (unsigned i = 0; spectrumSymbols_ && i < kept.spectrumRanges; ++i) {
        if (!spectrumSymbols_->appendSpectra(kept.spectra[i])) {
            fail(SC_WRITE_ERROR);
            return;
        }
    }
    // Channel after channel: the ranges are in channel order.
    for (unsigned i = 0; i < kept.channelRanges; ++i) {
        const RangeSymbols& symbols = kept.channels[i];
        if (!imageSymbols_.appendChannels(symbols.symbols.data(), symbols.ends.data(),
                                          symbols.endChannel - symbols.firstChannel)) {
            fail(SC_WRITE_ERROR);
            return;
        }
    }
}

void BatchEncoding::processChannels(RangeSymbols& kept, SymbolTally& tally) {
    const unsigned width = header_.width();
    const unsigned depth = header_.depth();
    const unsigned channels = kept.endChannel - kept.firstChannel;
    // A line at a time: its channel rows stay in the cache from the layout to the count, and
    // each channel's runs go on from line to line. The symbols are kept line after line,
    // then gathered channel after channel.
    kept.rows.resize(std::size_t{width} * channels);
    kept.lineSymbols.clear();
    kept.lineEnds.resize(std::size_t{countedLines_} * channels);
    for (unsigned line = 0; line < countedLines_; ++line) {
        transposeLineToChannelRows(countedBlock_ + std::size_t{line} * width * depth, width, depth,
                                   kept.firstChannel, kept.endChannel, kept.rows.data());
        accumulator_.addChannelRows(kept.rows.data(), 1, kept.firstChannel, kept.endChannel, tally,
                                    &kept.lineSymbols,
                                    kept.lineEnds.data() + std::size_t{line} * channels);
    }
    kept.symbols.resize(kept.lineSymbols.size());
    const PackedSymbol* from = kept.lineSymbols.data();
    PackedSymbol* to = kept.symbols.data();
    for (unsigned k = 0; k < channels; ++k) {
        for (unsigned line = 0; line < countedLines_; ++line) {
            const std::size_t at = std::size_t{line} * channels + k;
            to = std::copy(from + (at == 0 ? 0 : kept.lineEnds[at - 1]), from + kept.lineEnds[at],
                           to);
        }
        kept.ends[k] = static_cast<std::size_t>(to - kept.symbols.data());
    }
}

void BatchEncoding::processSpectra(unsigned range, SpectrumSymbols& kept, SymbolTally& tally) {
    const std::size_t count = std::size_t{countedLines_} * header_.width();
    const std::size_t first = range * rangeSpectra_;
    kept.add(countedBlock_ + first * header_.depth(),
             std::min(count, first + rangeSpectra_) - first, header_.depth(), tally);
}

SCErrorCode BatchEncoding::writeCube(unsigned linesCounted) {
    if (!spectrumSymbols_ && !reader_->rewind()) {
        return SC_FILE_ERROR;
    }
    buildCodeTable(counts_, header_);
    withdrawHeaderFile(name_);
    const unsigned width = header_.width();
    {
        SystemOutputFileStream spectra;
        if (!openEmptyOutput(spectra, name_ + SCD::SPECTRUM_FILE_EXTENSION)) {
            return SC_FILE_ERROR;
        }
        if (spectrumSymbols_) {
            if (!spectrumSymbols_->finishWriting()) {
                return SC_FILE_ERROR;
            }
            SpectrumSymbolSource source(*spectrumSymbols_);
            if (!encodeSymbolStreams(source, width * linesCounted, header_.spectrumOffsets(),
                                     spectra, header_) ||
                spectra.close() == 0) {
                return SC_WRITE_ERROR;
            }
        } else if (!encodeStreams(*reader_, width * linesCounted, header_.spectrumOffsets(),
                                  spectra, header_) ||
                   spectra.close() == 0) {
            return SC_WRITE_ERROR;
        }
        header_.spectrumOffsets().resize(std::uint64_t{width} * header_.acquiredLines());
    }
    {
        SystemOutputFileStream images;
        if (!openEmptyOutput(images, name_ + SCD::IMAGE_FILE_EXTENSION) ||
            !imageSymbols_.finishWriting()) {
            return SC_FILE_ERROR;
        }
        ImageSymbolSource channels(imageSymbols_, accumulator_, openRuns_, missingZeros_);
        if (!encodeSymbolStreams(channels, header_.depth(), header_.imageOffsets(), images,
                                 header_) ||
            images.close() == 0) {
            return SC_WRITE_ERROR;
        }
    }
    return writeHeaderFile(name_, header_) ? SC_OK : SC_WRITE_ERROR;
}

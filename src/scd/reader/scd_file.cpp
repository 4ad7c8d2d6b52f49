#include "scd/reader/scd_file.h"

#include <algorithm>
#include <fstream>
#include <new>

#include "api/sample_buffer.h"
#include "api/scaled_count.h"
#include "codec/huffman_coding.h"
#include "sc_api/pixmap_mask.h"
#include "sc_api/sc_spectrum.h"
#include "sc_api/scd.h"
#include "scd/reader/stream_summation.h"

namespace {

std::uint64_t lengthOf(const SystemInputFileStream& stream) {
    const std::uint64_t length = stream.size();
    return length == FileStream::INVALID_POSITION ? 0 : length;
}

// Where stream i of an index lies: up to the next stream when the next offset follows it, to
// the end of the file for the last one; otherwise its extent is not known.
StreamPlace placeOf(const std::vector<std::uint64_t>& offsets, std::uint64_t i,
                    std::uint64_t fileLength) {
    const std::uint64_t offset = offsets[i];
    std::uint64_t end = 0;
    if (i + 1 < offsets.size()) {
        end = offsets[i + 1];
    } else {
        end = fileLength;
    }
    return StreamPlace{offset, end > offset ? end - offset : 0};
}

// Bytes to read at once for a stream of unknown extent: twice the mean stream of the file.
std::uint64_t typicalStreamBytes(std::uint64_t fileLength, std::uint64_t streams) {
    constexpr std::uint64_t kLeast = 64;
    constexpr std::uint64_t kMost = 1u << 20;
    const std::uint64_t mean = streams == 0 ? 0 : fileLength / streams;
    return std::clamp<std::uint64_t>(2 * mean, kLeast, kMost);
}

// Most values one byte of a coded stream can expand to: 8 symbols of one bit, each a run of
// 255 values.
constexpr std::uint64_t kMostValuesPerByte = 8 * 255;
constexpr std::uint64_t kLengthFieldBytes = 4;

// Whether every stream at `offsets` in a file of `fileLength` bytes has room for a length field
// and for enough bits to expand to `values` values.
bool streamsFit(const std::vector<std::uint64_t>& offsets, std::uint64_t fileLength,
                std::uint64_t values) {
    const std::uint64_t leastBytes = (values + kMostValuesPerByte - 1) / kMostValuesPerByte;
    return std::all_of(offsets.begin(), offsets.end(), [&](std::uint64_t offset) {
        return fileLength >= kLengthFieldBytes && offset <= fileLength - kLengthFieldBytes &&
               fileLength - kLengthFieldBytes - offset >= leastBytes;
    });
}

}  // namespace

SCDFile::SCDFile(const std::string& name) {
    try {
        open(name);
    } catch (const std::bad_alloc&) {
        close();
    }
}

SCDFile::~SCDFile() {
    close();
}

void SCDFile::open(const std::string& name) {
    if (!isRegularFile(name + SCD::HEADER_EXTENSION)) {
        return;
    }
    std::ifstream headerFile(name + SCD::HEADER_EXTENSION, std::ios::binary);
    if (!headerFile || header_.read(headerFile) != SC_OK) {
        header_ = SCDHeader();
        return;
    }
    spectrumData_.open((name + SCD::SPECTRUM_FILE_EXTENSION).c_str(), GENERIC_READ);
    imageData_.open((name + SCD::IMAGE_FILE_EXTENSION).c_str(), GENERIC_READ);
    if (!isOpen()) {
        close();
        return;
    }
    spectrumDataLength_ = lengthOf(spectrumData_);
    imageDataLength_ = lengthOf(imageData_);
    if (!claimsFitTheFiles()) {
        close();
        header_ = SCDHeader();
        return;
    }
    typicalSpectrumBytes_ =
        typicalStreamBytes(spectrumDataLength_, header_.spectrumOffsets().size());
    typicalImageBytes_ = typicalStreamBytes(imageDataLength_, header_.imageOffsets().size());
    const HuffmanTree tree = buildHuffmanTreeFromCodes(header_.codes());
    table_ = HuffmanDecodingTable(tree.get());
}

bool SCDFile::claimsFitTheFiles() const {
    const std::uint64_t imageValues = std::uint64_t{header_.width()} * header_.height();
    return header_.acquiredLines() <= header_.height() &&
           streamsFit(header_.spectrumOffsets(), spectrumDataLength_, header_.depth()) &&
           streamsFit(header_.imageOffsets(), imageDataLength_, imageValues);
}

bool SCDFile::isAcquired(unsigned /*x*/, unsigned y) const {
    return y < header_.acquiredLines();
}

bool SCDFile::isOpen() {
    return spectrumData_.isOpen() && imageData_.isOpen();
}

SCErrorCode SCDFile::close() {
    if (spectrumData_.isOpen()) {
        spectrumData_.close();
    }
    if (imageData_.isOpen()) {
        imageData_.close();
    }
    return SC_OK;
}

unsigned SCDFile::version() const {
    return SCD::VERSION;
}

std::size_t SCDFile::imageValueCount() const {
    return static_cast<std::size_t>(std::uint64_t{header_.width()} * header_.height());
}

CodedStreamFile SCDFile::spectrumFile() const {
    return CodedStreamFile{&spectrumData_, spectrumDataLength_, &table_, typicalSpectrumBytes_};
}

CodedStreamFile SCDFile::imageFile() const {
    return CodedStreamFile{&imageData_, imageDataLength_, &table_, typicalImageBytes_};
}

StreamPlace SCDFile::spectrumPlace(unsigned x, unsigned y) const {
    return placeOf(header_.spectrumOffsets(), std::uint64_t{y} * width() + x, spectrumDataLength_);
}

StreamPlace SCDFile::imagePlace(unsigned channel) const {
    return placeOf(header_.imageOffsets(), channel, imageDataLength_);
}

bool SCDFile::decodesInline(std::uint64_t streams, std::uint64_t valuesPerStream) {
    // Below this, handing streams to workers costs more than it saves.
    constexpr std::uint64_t kInlineValues = 8192;
    return streams <= 1 || streams * valuesPerStream <= kInlineValues;
}

template <class Start, class ForEachStream>
SCErrorCode SCDFile::runBatch(bool inlined, const CodedStreamFile& file, std::size_t valueCount,
                              Start start, ForEachStream forEachStream, DecodeStage decodeStage) {
    if (!isOpen()) {
        return SC_FILE_ERROR;
    }
    if (inlined) {
        CodedStreamReader& reader = CodedStreamReader::ofThisThread();
        // A stream that cannot be decoded reads as zeros and is reported once all are read.
        bool damaged = false;
        const SCErrorCode result =
            forEachStream([&](const StreamPlace& place, unsigned short* destination) {
                if (reader.decodeInto(file, place, destination, valueCount) !=
                    StreamOutcome::kDecoded) {
                    std::fill_n(destination, valueCount, static_cast<unsigned short>(0));
                    damaged = true;
                }
                return SC_OK;
            });
        return result == SC_OK && damaged ? SC_FORMAT_ERROR : result;
    }
    ActionList actions;
    SCErrorCode result = SC_OK;
    try {
        start(actions);
        result = forEachStream([&](const StreamPlace& place, unsigned short* destination) {
            return (this->*decodeStage)(place, destination, actions);
        });
    } catch (const std::bad_alloc&) {
        result = SC_ALLOCATION_ERROR;
    }
    // Decodings already arranged write into the caller's buffers: they must be done before
    // the call returns, whatever ended the batch.
    const SCErrorCode decoded = finishReads(actions);
    return result != SC_OK ? result : decoded;
}

SCErrorCode SCDFile::readSpectrumsAt(const std::vector<SCPixelPosition>& positions,
                                     const std::vector<unsigned short*>& outs) {
    if (outs.size() < positions.size()) {
        return SC_OUT_OF_RANGE;
    }
    const bool inside = std::all_of(
        positions.begin(), positions.end(),
        [this](const SCPixelPosition& p) { return p.first < width() && p.second < height(); });
    if (!inside) {
        return SC_OUT_OF_RANGE;
    }
    return runBatch(
        decodesInline(positions.size(), spectrumValueCount()), spectrumFile(), spectrumValueCount(),
        [this](ActionList& actions) { startSpectrumsAt(actions); },
        [&](auto decode) {
            for (std::size_t i = 0; i < positions.size(); ++i) {
                const auto [x, y] = positions[i];
                if (!isAcquired(x, y)) {
                    continue;
                }
                const SCErrorCode result = decode(spectrumPlace(x, y), outs[i]);
                if (result != SC_OK) {
                    return result;
                }
            }
            return SC_OK;
        },
        &SCDFile::decodeSpectrum);
}

SCErrorCode SCDFile::readSpectrums(unsigned x, unsigned y, unsigned count, unsigned short* out) {
    const std::uint64_t w = width();
    const std::uint64_t h = height();
    if (x >= w || y >= h || y * w + x + count > w * h) {
        return SC_OUT_OF_RANGE;
    }
    const std::size_t d = spectrumValueCount();
    std::fill_n(out, std::uint64_t{count} * d, static_cast<unsigned short>(0));
    if (!isAcquired(x, y)) {
        return SC_OK;
    }
    return runBatch(
        decodesInline(count, d), spectrumFile(), d,
        [&](ActionList& actions) { startSpectrums(x, y, actions); },
        [&](auto decode) {
            unsigned px = x;
            unsigned py = y;
            for (unsigned k = 0; k < count && isAcquired(px, py); ++k) {
                const SCErrorCode result =
                    decode(spectrumPlace(px, py), out + std::uint64_t{k} * d);
                if (result != SC_OK) {
                    return result;
                }
                if (++px == w) {
                    px = 0;
                    ++py;
                }
            }
            return SC_OK;
        },
        &SCDFile::decodeSpectrum);
}

SCErrorCode SCDFile::readImagesAt(const std::vector<unsigned>& channels,
                                  const std::vector<unsigned short*>& outs) {
    if (outs.size() < channels.size() ||
        std::any_of(channels.begin(), channels.end(),
                    [this](unsigned channel) { return channel >= depth(); })) {
        return SC_OUT_OF_RANGE;
    }
    return runBatch(
        decodesInline(channels.size(), imageValueCount()), imageFile(), imageValueCount(),
        [this](ActionList& actions) { startImagesAt(actions); },
        [&](auto decode) {
            for (std::size_t i = 0; i < channels.size(); ++i) {
                const SCErrorCode result = decode(imagePlace(channels[i]), outs[i]);
                if (result != SC_OK) {
                    return result;
                }
            }
            return SC_OK;
        },
        &SCDFile::decodeImage);
}

SCErrorCode SCDFile::readImages(unsigned first, unsigned count, unsigned short* out) {
    if (std::uint64_t{first} + count > depth()) {
        return SC_OUT_OF_RANGE;
    }
    const std::size_t imageSize = imageValueCount();
    return runBatch(
        decodesInline(count, imageSize), imageFile(), imageSize,
        [&](ActionList& actions) { startImages(first, actions); },
        [&](auto decode) {
            for (unsigned k = 0; k < count; ++k) {
                const SCErrorCode result = decode(imagePlace(first + k), out + k * imageSize);
                if (result != SC_OK) {
                    return result;
                }
            }
            return SC_OK;
        },
        &SCDFile::decodeImage);
}

SCErrorCode SCDFile::sumImages(unsigned first, unsigned count, std::uint64_t* sums) const {
    std::vector<StreamPlace> places;
    places.reserve(count);
    for (unsigned k = 0; k < count; ++k) {
        places.push_back(imagePlace(first + k));
    }
    return sumStreams(imageFile(), places, imageValueCount(), sums);
}

SCErrorCode SCDFile::computeRoiImage(unsigned first, unsigned count, unsigned short* out) const {
    if (std::uint64_t{first} + count > depth()) {
        return SC_OUT_OF_RANGE;
    }
    const std::size_t imageSize = imageValueCount();
    try {
        auto sums = allocateZeroedSamples<std::uint64_t>(imageSize);
        if (!sums) {
            return SC_ALLOCATION_ERROR;
        }
        if (sumImages(first, count, sums.get()) != SC_OK) {
            return SCFile::computeRoiImage(first, count, out);
        }
        const float f = factor();
        for (std::size_t p = 0; p < imageSize; ++p) {
            out[p] = scaleToLow16(sums[p], f);
        }
    } catch (const std::bad_alloc&) {
        return SC_ALLOCATION_ERROR;
    }
    return SC_OK;
}

SCErrorCode SCDFile::computeSubRoiImage(unsigned first, unsigned count, const Rect& r,
                                        unsigned short* out) const {
    const unsigned w = width();
    if (std::uint64_t{r.x} + r.width > w || std::uint64_t{r.y} + r.height > height() ||
        std::uint64_t{first} + count > depth()) {
        return SC_OUT_OF_RANGE;
    }
    try {
        auto sums = allocateZeroedSamples<std::uint64_t>(imageValueCount());
        if (!sums) {
            return SC_ALLOCATION_ERROR;
        }
        if (sumImages(first, count, sums.get()) != SC_OK) {
            return SCFile::computeSubRoiImage(first, count, r, out);
        }
        const float f = factor();
        for (unsigned j = 0; j < r.height; ++j) {
            const std::uint64_t* row = sums.get() + std::uint64_t{r.y + j} * w + r.x;
            for (unsigned i = 0; i < r.width; ++i) {
                *out++ = scaleToLow16(row[i], f);
            }
        }
    } catch (const std::bad_alloc&) {
        return SC_ALLOCATION_ERROR;
    }
    return SC_OK;
}

SCErrorCode SCDFile::computeRegionSpectrum(int x0, int y0, const PixmapMask& mask, SCSpectrum& out,
                                           std::int64_t& pixelCount) {
    const unsigned d = depth();
    if (out.size() < d) {
        return SC_OUT_OF_RANGE;
    }
    try {
        auto sums = allocateZeroedSamples<std::uint64_t>(d);
        if (!sums) {
            return SC_ALLOCATION_ERROR;
        }
        out.reset();
        pixelCount = 0;
        // Pixels are summed in groups, which bounds the memory of their places.
        constexpr std::size_t kGroup = 4096;
        std::vector<StreamPlace> places;
        places.reserve(kGroup);
        const CodedStreamFile file = spectrumFile();
        const std::int64_t w = width();
        const std::int64_t h = std::min(header_.acquiredLines(), height());
        for (unsigned my = 0; my < mask.height(); ++my) {
            const std::int64_t y = std::int64_t{y0} + my;
            for (unsigned mx = 0; mx < mask.width(); ++mx) {
                const std::int64_t x = std::int64_t{x0} + mx;
                if (!mask.isSelected(mx, my) || x < 0 || x >= w || y < 0 || y >= h) {
                    continue;
                }
                places.push_back(spectrumPlace(static_cast<unsigned>(x), static_cast<unsigned>(y)));
                ++pixelCount;
                if (places.size() == kGroup) {
                    if (sumStreams(file, places, d, sums.get()) != SC_OK) {
                        return SCFile::computeRegionSpectrum(x0, y0, mask, out, pixelCount);
                    }
                    places.clear();
                }
            }
        }
        if (sumStreams(file, places, d, sums.get()) != SC_OK) {
            return SCFile::computeRegionSpectrum(x0, y0, mask, out, pixelCount);
        }
        const float f = factor();
        for (unsigned c = 0; c < d; ++c) {
            out[c] = scaleToFloat(sums[c], f);
        }
    } catch (const std::bad_alloc&) {
        return SC_ALLOCATION_ERROR;
    }
    return SC_OK;
}

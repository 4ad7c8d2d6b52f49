#include "scd/reader/scd_file.h"

#include <algorithm>
#include <fstream>
#include <new>

#include "codec/huffman_coding.h"
#include "sc_api/scd.h"

namespace {

std::uint64_t lengthOf(const SystemInputFileStream& stream) {
    const std::uint64_t length = stream.size();
    return length == FileStream::INVALID_POSITION ? 0 : length;
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

CodedStreamFile SCDFile::spectrumFile(tuplink::CriticalSection* lock) {
    return CodedStreamFile{&spectrumData_, spectrumDataLength_, lock, &table_};
}

CodedStreamFile SCDFile::imageFile(tuplink::CriticalSection* lock) {
    return CodedStreamFile{&imageData_, imageDataLength_, lock, &table_};
}

template <class Start, class Post>
SCErrorCode SCDFile::runBatch(Start start, Post post) {
    if (!isOpen()) {
        return SC_FILE_ERROR;
    }
    ActionList actions;
    SCErrorCode result = SC_OK;
    try {
        start(actions);
        result = post(actions);
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
    return runBatch([this](ActionList& actions) { startSpectrumsAt(actions); },
                    [&](ActionList& actions) {
                        for (std::size_t i = 0; i < positions.size(); ++i) {
                            const auto [x, y] = positions[i];
                            if (!isAcquired(x, y)) {
                                continue;
                            }
                            const SCErrorCode result =
                                decodeSpectrum(header_.spectrumOffset(x, y), outs[i], actions);
                            if (result != SC_OK) {
                                return result;
                            }
                        }
                        return SC_OK;
                    });
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
    return runBatch([&](ActionList& actions) { startSpectrums(x, y, actions); },
                    [&](ActionList& actions) {
                        unsigned px = x;
                        unsigned py = y;
                        for (unsigned k = 0; k < count && isAcquired(px, py); ++k) {
                            const SCErrorCode result =
                                decodeSpectrum(header_.spectrumOffset(px, py),
                                               out + std::uint64_t{k} * d, actions);
                            if (result != SC_OK) {
                                return result;
                            }
                            if (++px == w) {
                                px = 0;
                                ++py;
                            }
                        }
                        return SC_OK;
                    });
}

SCErrorCode SCDFile::readImagesAt(const std::vector<unsigned>& channels,
                                  const std::vector<unsigned short*>& outs) {
    if (outs.size() < channels.size() ||
        std::any_of(channels.begin(), channels.end(),
                    [this](unsigned channel) { return channel >= depth(); })) {
        return SC_OUT_OF_RANGE;
    }
    return runBatch([this](ActionList& actions) { startImagesAt(actions); },
                    [&](ActionList& actions) {
                        for (std::size_t i = 0; i < channels.size(); ++i) {
                            const SCErrorCode result =
                                decodeImage(header_.imageOffset(channels[i]), outs[i], actions);
                            if (result != SC_OK) {
                                return result;
                            }
                        }
                        return SC_OK;
                    });
}

SCErrorCode SCDFile::readImages(unsigned first, unsigned count, unsigned short* out) {
    if (std::uint64_t{first} + count > depth()) {
        return SC_OUT_OF_RANGE;
    }
    const std::size_t imageSize = imageValueCount();
    return runBatch([&](ActionList& actions) { startImages(first, actions); },
                    [&](ActionList& actions) {
                        for (unsigned k = 0; k < count; ++k) {
                            const SCErrorCode result = decodeImage(header_.imageOffset(first + k),
                                                                   out + k * imageSize, actions);
                            if (result != SC_OK) {
                                return result;
                            }
                        }
                        return SC_OK;
                    });
}

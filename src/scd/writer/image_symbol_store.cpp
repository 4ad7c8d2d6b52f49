#include "scd/writer/image_symbol_store.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <new>

#include "scd/writer/temporary_image_file.h"

static_assert(std::endian::native == std::endian::little,
              "symbols are written and read exactly as memory holds them");

ImageSymbolStore::ImageSymbolStore(const std::string& path, unsigned depth)
    : path_(path), depth_(depth) {
    openEmptyOutput(output_, path);
}

void ImageSymbolStore::close() {
    if (output_.isOpen()) {
        output_.close();
    }
    if (input_.isOpen()) {
        input_.close();
    }
}

bool ImageSymbolStore::appendChannels(const PackedSymbol* symbols, const std::size_t* channelEnds,
                                      unsigned channels) {
    if (!output_.isOpen() || channels > depth_ - nextChannel_) {
        return false;
    }
    try {
        for (unsigned k = 0; k < channels; ++k) {
            starts_.push_back(size_ + (k == 0 ? 0 : channelEnds[k - 1]) * sizeof(PackedSymbol));
        }
        const std::uint64_t bytes =
            (channels == 0 ? 0 : channelEnds[channels - 1]) * sizeof(PackedSymbol);
        if (bytes != 0 && !output_.writeAt(symbols, bytes, size_)) {
            return false;
        }
        size_ += bytes;
        nextChannel_ += channels;
        if (nextChannel_ == depth_) {
            starts_.push_back(size_);
            nextChannel_ = 0;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool ImageSymbolStore::finishWriting() {
    if (input_.isOpen()) {
        return true;
    }
    if (!output_.isOpen() || nextChannel_ != 0 || output_.close() == 0) {
        return false;
    }
    return input_.open(path_.c_str(), GENERIC_READ);
}

bool ImageSymbolStore::appendChannel(unsigned c, std::vector<PackedSymbol>& out) const {
    if (!input_.isOpen() || c >= depth_) {
        return false;
    }
    try {
        for (std::size_t block = 0; block + depth_ < starts_.size(); block += depth_ + 1) {
            const std::uint64_t begin = starts_[block + c];
            const std::uint64_t bytes = starts_[block + c + 1] - begin;
            const std::size_t first = out.size();
            out.resize(first + bytes / sizeof(PackedSymbol));
            if (!readSymbolFile(input_, begin, out.data() + first, bytes)) {
                return false;
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool ImageSymbolSource::appendNext(std::vector<PackedSymbol>& symbols) {
    const unsigned channel = next_++;
    if (channel >= openRuns_->size() || !store_->appendChannel(channel, symbols)) {
        return false;
    }
    try {
        accumulator_->finishChannel((*openRuns_)[channel], missingZeros_,
                                    [&](const SCSymbol& symbol, std::uint32_t times) {
                                        symbols.insert(symbols.end(), times, packSymbol(symbol));
                                    });
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool readSymbolFile(const SystemInputFileStream& input, std::uint64_t offset, void* to,
                    std::uint64_t bytes) {
    auto* into = static_cast<unsigned char*>(to);
    for (std::uint64_t done = 0; done < bytes;) {
        const auto n = static_cast<unsigned>(std::min<std::uint64_t>(bytes - done, INT_MAX));
        if (input.readAt(offset + done, into + done, n) != static_cast<int>(n)) {
            return false;
        }
        done += n;
    }
    return true;
}

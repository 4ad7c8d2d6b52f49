#include "scd/writer/image_symbol_store.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <new>

#include "scd/writer/temporary_image_file.h"

static_assert(std::endian::native == std::endian::little,
              "symbols are written and read exactly as memory holds them");

namespace {

// Symbols read at once by an ImageSymbolSource, in bytes: channels enough for a few coding
// chunks.
constexpr std::uint64_t kGroupBytes = 4u << 20;

}  // namespace

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

bool ImageSymbolStore::readGroup(unsigned first, std::uint64_t bytes, ChannelGroup& group) const {
    if (!input_.isOpen() || first >= depth_) {
        return false;
    }
    const std::size_t blockCount = blocks();
    unsigned end = first;
    std::uint64_t groupBytes = 0;
    while (end < depth_ && (end == first || groupBytes < bytes)) {
        for (std::size_t block = 0; block < blockCount; ++block) {
            groupBytes += start(block, end + 1) - start(block, end);
        }
        ++end;
    }
    try {
        group.first = first;
        group.end = end;
        group.symbols.resize(groupBytes / sizeof(PackedSymbol));
        group.blockStarts.resize(blockCount);
        std::size_t next = 0;
        for (std::size_t block = 0; block < blockCount; ++block) {
            const std::uint64_t begin = start(block, first);
            const std::uint64_t blockBytes = start(block, end) - begin;
            group.blockStarts[block] = next;
            if (!readSymbolFile(input_, begin, group.symbols.data() + next, blockBytes)) {
                return false;
            }
            next += blockBytes / sizeof(PackedSymbol);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void ImageSymbolStore::appendChannel(unsigned c, const ChannelGroup& group,
                                     std::vector<PackedSymbol>& out) const {
    for (std::size_t block = 0; block < group.blockStarts.size(); ++block) {
        const std::uint64_t groupStart = start(block, group.first);
        const PackedSymbol* from = group.symbols.data() + group.blockStarts[block] +
                                   (start(block, c) - groupStart) / sizeof(PackedSymbol);
        out.insert(out.end(), from,
                   from + (start(block, c + 1) - start(block, c)) / sizeof(PackedSymbol));
    }
}

bool ImageSymbolSource::appendNext(std::vector<PackedSymbol>& symbols) {
    const unsigned channel = next_++;
    if (channel >= openRuns_->size()) {
        return false;
    }
    if ((channel < group_.first || channel >= group_.end) &&
        !store_->readGroup(channel, kGroupBytes, group_)) {
        return false;
    }
    try {
        store_->appendChannel(channel, group_, symbols);
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

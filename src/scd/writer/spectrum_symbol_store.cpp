#include "scd/writer/spectrum_symbol_store.h"

#include <algorithm>
#include <bit>
#include <new>

#include "codec/run_length.h"
#include "scd/writer/image_symbol_store.h"
#include "scd/writer/temporary_image_file.h"

static_assert(std::endian::native == std::endian::little,
              "counts and symbols are written and read exactly as memory holds them");

namespace {

// Symbols read ahead at a time: 4 MiB.
constexpr std::size_t kBufferSymbols = std::size_t{1} << 20;

}  // namespace

SpectrumSymbolStore::SpectrumSymbolStore(const std::string& path) : path_(path) {
    openEmptyOutput(output_, path);
}

void SpectrumSymbolStore::close() {
    if (output_.isOpen()) {
        output_.close();
    }
    if (input_.isOpen()) {
        input_.close();
    }
}

void SpectrumSymbols::add(const unsigned short* spectra, std::size_t count, unsigned depth,
                          SymbolTally& tally) {
    for (std::size_t p = 0; p < count; ++p) {
        // Room for as many symbols as the spectrum has values, the most it can make.
        const std::size_t before = symbols.size();
        symbols.resize(before + depth);
        PackedSymbol* const first = symbols.data() + before;
        PackedSymbol* next = first;
        forEachRun(spectra + p * depth, depth, [&](const SCSymbol& symbol) {
            tally.add(symbol);
            *next++ = packSymbol(symbol);
        });
        const auto made = static_cast<std::size_t>(next - first);
        symbols.resize(before + made);
        counts.push_back(static_cast<std::uint32_t>(made));
    }
}

bool SpectrumSymbolStore::appendSpectra(const SpectrumSymbols& batch) {
    if (!output_.isOpen()) {
        return false;
    }
    const std::uint32_t* counts = batch.counts.data();
    const std::size_t spectra = batch.counts.size();
    const PackedSymbol* symbols = batch.symbols.data();
    std::uint64_t symbolCount = 0;
    for (std::size_t k = 0; k < spectra; ++k) {
        symbolCount += counts[k];
    }
    const std::uint64_t countBytes = spectra * sizeof(std::uint32_t);
    const std::uint64_t symbolBytes = symbolCount * sizeof(PackedSymbol);
    try {
        blocks_.push_back({size_, spectra});
    } catch (const std::bad_alloc&) {
        return false;
    }
    if ((countBytes != 0 && !output_.writeAt(counts, countBytes, size_)) ||
        (symbolBytes != 0 && !output_.writeAt(symbols, symbolBytes, size_ + countBytes))) {
        blocks_.pop_back();
        return false;
    }
    size_ += countBytes + symbolBytes;
    return true;
}

bool SpectrumSymbolStore::finishWriting() {
    if (input_.isOpen()) {
        return true;
    }
    if (!output_.isOpen() || output_.close() == 0) {
        return false;
    }
    return input_.open(path_.c_str(), GENERIC_READ);
}

bool SpectrumSymbolSource::nextBlock() {
    if (block_ >= store_->blocks_.size()) {
        return false;
    }
    const SpectrumSymbolStore::Block& block = store_->blocks_[block_++];
    try {
        counts_.resize(static_cast<std::size_t>(block.spectra));
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::uint64_t countBytes = block.spectra * sizeof(std::uint32_t);
    if (!readSymbolFile(store_->input_, block.offset, counts_.data(), countBytes)) {
        return false;
    }
    spectrum_ = 0;
    symbolsLeft_ = 0;
    for (const std::uint32_t count : counts_) {
        symbolsLeft_ += count;
    }
    nextSymbolOffset_ = block.offset + countBytes;
    buffer_.clear();
    buffered_ = 0;
    return true;
}

bool SpectrumSymbolSource::appendNext(std::vector<PackedSymbol>& symbols) {
    while (spectrum_ >= counts_.size()) {
        if (!nextBlock()) {
            return false;
        }
    }
    std::size_t wanted = counts_[spectrum_++];
    try {
        while (wanted != 0) {
            if (buffered_ == buffer_.size()) {
                const auto n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(symbolsLeft_, kBufferSymbols));
                if (n == 0) {
                    return false;  // the counts promise more symbols than the block holds
                }
                buffer_.resize(n);
                if (!readSymbolFile(store_->input_, nextSymbolOffset_, buffer_.data(),
                                    n * sizeof(PackedSymbol))) {
                    return false;
                }
                nextSymbolOffset_ += n * sizeof(PackedSymbol);
                symbolsLeft_ -= n;
                buffered_ = 0;
            }
            const std::size_t n = std::min(wanted, buffer_.size() - buffered_);
            symbols.insert(symbols.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(buffered_),
                           buffer_.begin() + static_cast<std::ptrdiff_t>(buffered_ + n));
            buffered_ += n;
            wanted -= n;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

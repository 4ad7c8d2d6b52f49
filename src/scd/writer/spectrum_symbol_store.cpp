#include "scd/writer/spectrum_symbol_store.h"

#include <bit>
#include <new>

#include "scd/writer/image_symbol_store.h"
#include "scd/writer/temporary_image_file.h"

static_assert(std::endian::native == std::endian::little && sizeof(std::size_t) == 8,
              "ends and symbols are written and read exactly as memory holds them");

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

bool SpectrumSymbolStore::appendSpectra(const PackedSymbol* symbols, const std::size_t* ends,
                                        std::size_t spectra) {
    if (!output_.isOpen()) {
        return false;
    }
    if (spectra == 0) {
        return true;
    }
    const std::uint64_t symbolCount = ends[spectra - 1];
    const std::uint64_t endBytes = spectra * sizeof(std::size_t);
    const std::uint64_t symbolBytes = symbolCount * sizeof(PackedSymbol);
    try {
        records_.push_back({size_, spectra, symbolCount});
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!output_.writeAt(ends, endBytes, size_) ||
        (symbolBytes != 0 && !output_.writeAt(symbols, symbolBytes, size_ + endBytes))) {
        records_.pop_back();
        return false;
    }
    size_ += endBytes + symbolBytes;
    spectra_ += spectra;
    return true;
}

bool SpectrumSymbolStore::startReading() {
    if (output_.isOpen() && output_.close() == 0) {
        return false;
    }
    if (!input_.isOpen() && !input_.open(path_.c_str(), GENERIC_READ)) {
        return false;
    }
    record_ = 0;
    nextSpectrum_ = 0;
    loaded_ = false;
    return true;
}

bool SpectrumSymbolStore::loadRecord() {
    const Record& record = records_[record_];
    try {
        ends_.resize(record.spectra);
        symbols_.resize(record.symbols);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::uint64_t endBytes = record.spectra * sizeof(std::size_t);
    if (!readSymbolFile(input_, record.offset, ends_.data(), endBytes) ||
        !readSymbolFile(input_, record.offset + endBytes, symbols_.data(),
                        record.symbols * sizeof(PackedSymbol))) {
        return false;
    }
    // The file is this object's own, but a record that contradicts itself is refused all
    // the same rather than read past.
    std::size_t previous = 0;
    for (const std::size_t end : ends_) {
        if (end < previous || end > record.symbols) {
            return false;
        }
        previous = end;
    }
    nextSpectrum_ = 0;
    loaded_ = true;
    return true;
}

bool SpectrumSymbolStore::appendNext(std::vector<PackedSymbol>& symbols) {
    if (!input_.isOpen()) {
        return false;
    }
    if (loaded_ && nextSpectrum_ == ends_.size()) {
        ++record_;
        loaded_ = false;
    }
    if (!loaded_ && (record_ >= records_.size() || !loadRecord())) {
        return false;
    }
    const std::size_t begin = nextSpectrum_ == 0 ? 0 : ends_[nextSpectrum_ - 1];
    const std::size_t end = ends_[nextSpectrum_++];
    try {
        symbols.insert(symbols.end(), symbols_.begin() + static_cast<std::ptrdiff_t>(begin),
                       symbols_.begin() + static_cast<std::ptrdiff_t>(end));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

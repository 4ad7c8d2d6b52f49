#include "scd/writer/scd_line_actions.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <new>
#include <vector>

#include "codec/run_length.h"

static_assert(std::endian::native == std::endian::little,
              "values are written exactly as memory holds them");

void RunLengthEncodingExecutorThread::execute() {
    // Counted locally and added once: the table's lock is taken once per execution rather than
    // once per symbol, and the counts come out the same.
    SymbolTally tally;
    const unsigned itemSize = provider_->itemSize();
    for (ItemProvider::Item item = provider_->next(); item.second != nullptr;
         item = provider_->next()) {
        forEachRun(item.second, itemSize, [&tally](const SCSymbol& symbol) { tally.add(symbol); });
    }
    counts_->add(tally);
}

namespace {

void keepFirstError(std::atomic<int>* error, int result) {
    int expected = SC_OK;
    if (result != SC_OK && error != nullptr) {
        error->compare_exchange_strong(expected, result);
    }
}

}  // namespace

void LineBlockSpectraAction::execute() {
    const std::uint64_t spectra = std::uint64_t{block_.count} * block_.width;
    SymbolTally tally;
    KeptSymbols* kept = block_.kept;
    if (kept == nullptr || kept->spectra == nullptr || !kept->spectraIntact.load()) {
        for (std::uint64_t i = 0; i < spectra; ++i) {
            forEachRun(block_.lines + i * block_.depth, block_.depth,
                       [&tally](const SCSymbol& symbol) { tally.add(symbol); });
        }
        counts_->add(tally);
        return;
    }
    try {
        kept->spectrumSymbols.clear();
        kept->spectrumSymbols.add(block_.lines, spectra, block_.depth, tally);
        // A block the store cannot hold leaves the kept spectra short of it: they are not used.
        if (!kept->spectra->appendSpectra(kept->spectrumSymbols)) {
            kept->spectraIntact = false;
        }
    } catch (const std::bad_alloc&) {
        // The counts may lack part of the block: close codes the cube from the stored spectra.
        kept->spectraIntact = false;
        keepFirstError(block_.error, SC_ALLOCATION_ERROR);
    }
    counts_->add(tally);
}

void LineBlockImagesAction::execute() {
    const int result = imageFile_->appendLines(block_.lines, block_.count);
    keepFirstError(block_.error, result);
    // The lines were laid out as channel rows when they were stored, even if a write failed.
    if (result != SC_OK && result != SC_WRITE_ERROR) {
        return;
    }
    const unsigned short* rows = imageFile_->lastRows();
    KeptSymbols* kept = block_.kept;
    if (kept == nullptr || !kept->intact.load()) {
        accumulator_->addRows(rows, block_.count);
        return;
    }
    try {
        kept->symbols.clear();
        kept->ends.resize(block_.depth);
        // A block the accumulator does not take, or one the store cannot hold, leaves the kept
        // symbols short of it: they are not used.
        if (!accumulator_->addRows(rows, block_.count, &kept->symbols, kept->ends.data()) ||
            !kept->images->appendChannels(kept->symbols.data(), kept->ends.data(), block_.depth)) {
            kept->intact = false;
        }
    } catch (const std::bad_alloc&) {
        // The counts may lack part of the block: close codes the cube from the stored spectra.
        kept->intact = false;
        keepFirstError(block_.error, SC_ALLOCATION_ERROR);
    }
}

void LineAppenderThread::execute() {
    imageFile_->appendLine(line_);
}

void ItemWriterThread::execute() {
    constexpr std::uint64_t kChunkValues = INT_MAX / sizeof(unsigned short);
    for (std::uint64_t done = 0; done < valueCount_;) {
        const std::uint64_t n = std::min(valueCount_ - done, kChunkValues);
        const auto byteCount = static_cast<unsigned>(n * sizeof(unsigned short));
        if (stream_->write(values_ + done, byteCount) != static_cast<int>(byteCount)) {
            return;
        }
        done += n;
    }
}

#include "codec/symbol_count_table.h"

#include <algorithm>
#include <mutex>

std::uint32_t FlatSymbolCounts::makeRow(unsigned short value) {
    const auto row = static_cast<std::uint32_t>(rows_.size());
    rows_.push_back(Row{});
    rows_.back().value = value;
    rowOf_[value] = row;
    return row;
}

void FlatSymbolCounts::addAll(const FlatSymbolCounts& other) {
    if (other.empty()) {
        return;
    }
    counted_ = true;
    for (const Row& from : other.rows_) {
        const std::uint32_t row = rowOf(from.value);
        if (row == kNoRow) {
            for (unsigned run = 0; run < 256; ++run) {
                if (((from.present[run >> 6] >> (run & 63)) & 1) != 0) {
                    overflow_[key(static_cast<unsigned char>(run), from.value)] += from.counts[run];
                }
            }
            continue;
        }
        Row& to = rows_[row];
        for (unsigned run = 0; run < 256; ++run) {
            to.counts[run] += from.counts[run];
        }
        for (unsigned word = 0; word < 4; ++word) {
            to.present[word] |= from.present[word];
        }
    }
    for (const auto& [symbolKey, times] : other.overflow_) {
        add(static_cast<unsigned char>(symbolKey >> 16), static_cast<unsigned short>(symbolKey),
            times);
    }
}

void FlatSymbolCounts::clear() {
    if (!counted_) {
        return;
    }
    counted_ = false;
    for (Row& row : rows_) {
        row.counts.fill(0);
        row.present.fill(0);
    }
    overflow_.clear();
}

SCSymbolCounts FlatSymbolCounts::ordered() const {
    SCSymbolCounts ordered;
    for (const Row& row : rows_) {
        for (unsigned run = 0; run < 256; ++run) {
            if (((row.present[run >> 6] >> (run & 63)) & 1) != 0) {
                ordered.emplace(SCSymbol(static_cast<unsigned char>(run), row.value),
                                row.counts[run]);
            }
        }
    }
    for (const auto& [symbolKey, times] : overflow_) {
        ordered.emplace(SCSymbol(static_cast<unsigned char>(symbolKey >> 16),
                                 static_cast<unsigned short>(symbolKey)),
                        times);
    }
    return ordered;
}

void SymbolCountTable::count(const SCSymbol& symbol) {
    std::lock_guard<tuplink::CriticalSection> guard(lock_);
    counts_.add(symbol.first, symbol.second);
}

void SymbolCountTable::add(SymbolTally& tally) {
    if (tally.empty()) {
        return;
    }
    {
        std::lock_guard<tuplink::CriticalSection> guard(lock_);
        counts_.addAll(tally.counts_);
    }
    tally.clear();
}

SCSymbolCounts SymbolCountTable::counts() const {
    std::lock_guard<tuplink::CriticalSection> guard(lock_);
    return counts_.ordered();
}

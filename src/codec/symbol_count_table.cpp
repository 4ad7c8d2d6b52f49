#include "codec/symbol_count_table.h"

#include <mutex>

void SymbolCountTable::count(const SCSymbol& symbol) {
    std::lock_guard<tuplink::CriticalSection> guard(lock_);
    ++counts_[SymbolTally::key(symbol)];
}

void SymbolCountTable::add(SymbolTally& tally) {
    if (tally.empty()) {
        return;
    }
    {
        std::lock_guard<tuplink::CriticalSection> guard(lock_);
        for (const auto& [key, times] : tally.counts_) {
            counts_[key] += times;
        }
    }
    tally.clear();
}

SCSymbolCounts SymbolCountTable::counts() const {
    std::lock_guard<tuplink::CriticalSection> guard(lock_);
    SCSymbolCounts ordered;
    for (const auto& [key, times] : counts_) {
        ordered.emplace(SymbolTally::symbolOf(key), times);
    }
    return ordered;
}

#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "codec/scd_symbol.h"
#include "tuplink/critical_section.h"

// Symbol counts in flat arrays: one row of 256 counts (one per run length) for each value met,
// found through a table indexed by the value, so that counting a symbol is two array lookups
// and an addition. Values beyond the first kMostRows distinct ones are counted in a hash map.
// A symbol counted is present even when its count has wrapped to 0 (counts are modulo 2^32).
class FlatSymbolCounts {
  public:
    void add(unsigned char run, unsigned short value, std::uint32_t times = 1) {
        counted_ = true;
        const std::uint32_t row = rowOf(value);
        if (row != kNoRow) {
            rows_[row].counts[run] += times;
            rows_[row].present[run >> 6] |= std::uint64_t{1} << (run & 63);
        } else {
            overflow_[key(run, value)] += times;
        }
    }
    // Adds every count of `other` to these.
    void addAll(const FlatSymbolCounts& other);
    bool empty() const { return !counted_; }
    // Forgets every count, keeping the memory of the rows for the next use.
    void clear();
    // The counts of every present symbol, in symbol order.
    SCSymbolCounts ordered() const;

  private:
    static constexpr std::uint32_t kNoRow = 0xFFFFFFFFu;
    static constexpr std::size_t kMostRows = 4096;

    struct Row {
        std::array<std::uint32_t, 256> counts;  // by run length
        std::array<std::uint64_t, 4> present;   // bit r: run length r was counted
        unsigned short value;                   // the value of the row
    };

    static std::uint32_t key(unsigned char run, unsigned short value) {
        return (std::uint32_t{run} << 16) | value;
    }
    // The row of value, made when missing; kNoRow when no more rows may be made.
    std::uint32_t rowOf(unsigned short value) {
        if (!rowOf_) {
            rowOf_.reset(new std::uint32_t[std::size_t{1} << 16]);
            std::fill_n(rowOf_.get(), std::size_t{1} << 16, kNoRow);
        }
        const std::uint32_t row = rowOf_[value];
        return row != kNoRow || rows_.size() >= kMostRows ? row : makeRow(value);
    }
    std::uint32_t makeRow(unsigned short value);

    std::unique_ptr<std::uint32_t[]> rowOf_;  // per value: its row, or kNoRow; made on first use
    std::vector<Row> rows_;                   // rows in the order their values were met
    std::unordered_map<std::uint32_t, std::uint32_t> overflow_;  // by (run << 16 | value)
    bool counted_ = false;  // a symbol was counted since the last clear()
};

// Symbol counts gathered by one thread without any lock, to be added to a SymbolCountTable in
// one step. Counts wrap modulo 2^32, as the table's do.
class SymbolTally {
  public:
    void add(const SCSymbol& symbol, std::uint32_t times = 1) {
        counts_.add(symbol.first, symbol.second, times);
    }
    bool empty() const { return counts_.empty(); }
    // Forgets every count, keeping the memory for the next use.
    void clear() { counts_.clear(); }

  private:
    friend class SymbolCountTable;

    FlatSymbolCounts counts_;
};

// How often each run-length symbol occurs in a cube, shared by the threads that count it. Every
// operation takes the table's lock, so counts may be added from any number of threads at once;
// since addition commutes, the final counts do not depend on the order of the additions.
class SymbolCountTable {
  public:
    SymbolCountTable() = default;
    SymbolCountTable(const SymbolCountTable&) = delete;
    SymbolCountTable& operator=(const SymbolCountTable&) = delete;

    // Adds 1 to the count of `symbol` (a new symbol starts at 0).
    void count(const SCSymbol& symbol);
    // Adds every count of `tally`, then clears it.
    void add(SymbolTally& tally);

    // The counts, in symbol order: the input of the Huffman tree.
    SCSymbolCounts counts() const;

  private:
    mutable tuplink::CriticalSection lock_;  // guards counts_
    FlatSymbolCounts counts_;
};

#pragma once

#include <cstdint>
#include <unordered_map>

#include "codec/scd_symbol.h"
#include "tuplink/critical_section.h"

// Symbol counts gathered by one thread without any lock, to be added to a SymbolCountTable in
// one step. Counts wrap modulo 2^32, as the table's do.
class SymbolTally {
  public:
    void add(const SCSymbol& symbol, std::uint32_t times = 1) { counts_[key(symbol)] += times; }
    bool empty() const { return counts_.empty(); }
    // Forgets every count, keeping the memory for the next use.
    void clear() { counts_.clear(); }

  private:
    friend class SymbolCountTable;

    static std::uint32_t key(const SCSymbol& symbol) {
        return (std::uint32_t{symbol.first} << 16) | symbol.second;
    }
    static SCSymbol symbolOf(std::uint32_t key) {
        return SCSymbol(static_cast<unsigned char>(key >> 16), static_cast<unsigned short>(key));
    }

    std::unordered_map<std::uint32_t, std::uint32_t> counts_;  // by (run length << 16 | value)
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
    mutable tuplink::CriticalSection lock_;                    // guards counts_
    std::unordered_map<std::uint32_t, std::uint32_t> counts_;  // as in SymbolTally
};

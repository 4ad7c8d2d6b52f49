#pragma once

#include <cstdint>
#include <vector>

#include "codec/scd_symbol.h"
#include "io/file_stream.h"
#include "sc_api/sc_item_reader.h"
#include "scd/format/scd_header.h"

// As many workers as the machine runs threads at once, 16 at most: the encoders' parallelism.
unsigned encoderThreads();

// Codes the items of `reader` (from its current item on, at most `count` of them) into coded
// streams with the code table of `header` and writes the streams to `out` back to back in item
// order: each stream is its bit count L (uint32, little-endian) followed by ceil(L / 8) bytes.
// Afterwards `offsets` holds exactly `count` entries: entry i is the position in `out` of
// stream i's bit count, or 0 for an item that the reader did not deliver (it ended early or
// failed). Nothing is written, and no thread started, when `count` is 0.
//
// REQUIRES: the code table holds every symbol that the items produce, `out` is open (at
// position 0 for offsets that start at 0). An item with a symbol the table lacks is an internal
// error: debug builds assert, other builds write that item as an empty stream (L = 0).
//
// Returns false when a write failed, the reader delivered fewer than `count` items, or the
// memory for the coding could not be had; the file then lacks streams.
//
// Threads. The call reads the items and writes the streams on the calling thread. Items are
// read in chunks (about a thousand spectra, or tens of images: some 2 million values), each
// chunk coded by one action on a private encoder processor with as many workers as the machine
// has hardware threads (16 at most) into a buffer of its own, and the chunks' buffers written
// strictly in item order, one write each. One chunk more than there are workers is in flight,
// which bounds the memory whatever the size of the cube. No worker of the library's processor
// is used, so any number of encodings, builders and readers may run at once without deadlock.
bool encodeStreams(SCItemReader& reader, unsigned count, std::vector<std::uint64_t>& offsets,
                   OutputFileStream& out, const SCDHeader& header);

// A source of streams given as their run-length symbols, read in order on the calling thread.
class SymbolStreamSource {
  public:
    virtual ~SymbolStreamSource() = default;
    // Appends the symbols of the next stream to `symbols`. False when they cannot be had.
    virtual bool appendNext(std::vector<PackedSymbol>& symbols) = 0;
};

// encodeStreams for streams given as their symbols: the same bytes and offsets as coding the
// values those symbols stand for. Chunks hold about as many symbols as encodeStreams' chunks
// hold values. Returns false when a write failed, the source failed before `count` streams, or
// memory ran out.
bool encodeSymbolStreams(SymbolStreamSource& source, unsigned count,
                         std::vector<std::uint64_t>& offsets, OutputFileStream& out,
                         const SCDHeader& header);

#pragma once

#include <cstdint>
#include <vector>

#include "io/file_stream.h"
#include "sc_api/sc_item_reader.h"
#include "scd/format/scd_header.h"

// Codes the items of `reader` (from its current item on, at most `count` of them) into coded
// streams with the code table of `header` and writes the streams to `out` back to back in item
// order: each stream is its bit count L (uint32, little-endian) followed by ceil(L / 8) bytes.
// Afterwards `offsets` holds exactly `count` entries: entry i is the position in `out` of
// stream i's bit count, or 0 for an item that the reader did not deliver (it ended early or
// failed). Nothing is written, and no thread started, when `count` is 0. Returns true when all
// `count` items were delivered and every stream was written; false when the reader delivered
// fewer, a write to `out` failed, or memory ran out (the file is then incomplete).
//
// REQUIRES: the code table holds every symbol that the items produce, `out` is open (at
// position 0 for offsets that start at 0). An item with a symbol the table lacks is an internal
// error: debug builds assert, other builds write that item as an empty stream (L = 0).
//
// Threads. The call runs on the calling thread until every stream is written. Items are read in
// blocks of up to 16 (fewer when 16 items would take more than 32 MiB) into two controllers in
// turn; the items of a block are coded in parallel by one encoder action each, and the blocks'
// streams are written strictly in order:
//  - the calling thread writes the streams (the writer);
//  - a private pipeline processor, made for this call without a thread limit, runs the reader
//    action and the controllers; the reader is its only action that blocks on another (it
//    waits until a controller is free), so every posted controller gets a worker, and it never
//    holds more than three;
//  - a private encoder processor runs the encoders, which never block, on as many workers as
//    the machine has hardware threads, 16 at most.
// No worker of the library's processor is used, so any number of encodings, builders and
// readers may run at once without deadlock.
bool encodeStreams(SCItemReader& reader, unsigned count, std::vector<std::uint64_t>& offsets,
                   OutputFileStream& out, const SCDHeader& header);

#include "scd/writer/scd_line_actions.h"

#include <algorithm>
#include <bit>
#include <climits>

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

void LineAppenderThread::execute() {
    stored_.store(imageFile_->appendLine(line_) == SC_OK, std::memory_order_release);
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
    written_.store(true, std::memory_order_release);
}

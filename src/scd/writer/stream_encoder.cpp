#include "scd/writer/stream_encoder.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <deque>
#include <new>
#include <thread>

#include "api/sample_buffer.h"
#include "codec/huffman_encoding_table.h"
#include "sc_api/processor.h"

namespace {

using lattix::lx_tuplink::Action;
using lattix::lx_tuplink::ActionRef;
using lattix::lx_tuplink::Processor;

// Values coded by one action: about a thousand spectra, or tens of images.
constexpr std::uint64_t kChunkValues = std::uint64_t{1} << 21;
// Symbols coded by one action at most: few enough that the loading, the coding and the writing
// of a cube's channel images (a few thousand long streams) still overlap.
constexpr std::size_t kChunkSymbols = std::size_t{1} << 18;
constexpr unsigned kMostChunkItems = 1024;
constexpr unsigned kMostEncoderThreads = 16;
constexpr unsigned kLengthFieldBytes = 4;

unsigned itemsPerChunk(unsigned itemSize) {
    if (itemSize == 0) {
        return kMostChunkItems;
    }
    return static_cast<unsigned>(
        std::clamp<std::uint64_t>(kChunkValues / itemSize, 1, kMostChunkItems));
}

// One chunk of items and their coded streams, back to back in one buffer as they go to the
// file. Loaded and written by the calling thread, coded by one encoder worker.
class ChunkEncoder : public Action {
  public:
    ChunkEncoder(const HuffmanEncodingTable& table, unsigned itemSize, unsigned capacity)
        : table_(&table),
          itemSize_(itemSize),
          capacity_(capacity),
          items_(
              allocateSamples<unsigned short>(std::uint64_t{capacity} * std::max(itemSize, 1u))) {
        streamEnds_.reserve(capacity);
    }

    bool isAllocated() const { return items_ != nullptr; }
    unsigned capacity() const { return capacity_; }
    unsigned short* items() { return items_.get(); }
    // The items buffer holds `count` new items.
    void load(unsigned count) { count_ = count; }
    unsigned count() const { return count_; }

    // After execute(): the streams coded, and where each ends in streams().
    const CodedStreamBuffer& streams() const { return streams_; }
    const std::vector<std::size_t>& streamEnds() const { return streamEnds_; }

  protected:
    // Codes the loaded items. Out of memory, the items not coded are left for the writer to
    // write as empty streams.
    void execute() override {
        streams_.clear();
        streamEnds_.clear();
        try {
            for (unsigned i = 0; i < count_; ++i) {
                const EncodeResult result = table_->encodeStream(
                    items_.get() + std::uint64_t{i} * itemSize_, itemSize_, streams_);
                assert(result != EncodeResult::kMissingCode &&
                       "the code table lacks a symbol of an item");
                (void)result;
                streamEnds_.push_back(streams_.size());
            }
        } catch (const std::bad_alloc&) {
        }
    }

  private:
    const HuffmanEncodingTable* table_;
    unsigned itemSize_;                        // values per item
    unsigned capacity_;                        // items the buffer holds
    std::unique_ptr<unsigned short[]> items_;  // capacity_ items
    unsigned count_ = 0;                       // items loaded
    CodedStreamBuffer streams_;                // their coded streams, back to back
    std::vector<std::size_t> streamEnds_;      // end of each coded stream in streams_
};

// Writes chunks' streams to the data file in order and records each stream's offset.
class ChunkWriter {
  public:
    ChunkWriter(OutputFileStream& out, std::vector<std::uint64_t>& offsets)
        : out_(&out), offsets_(&offsets) {
        const std::uint64_t start = out.tell();
        position_ = start == FileStream::INVALID_POSITION ? 0 : start;
    }

    // False once any write failed.
    bool allWritten() const { return allWritten_; }

    // Writes the streams of a chunk of `count` items whose first ends.size() were coded into
    // `streams`, stream i ending at ends[i].
    template <class Chunk>
    void write(const Chunk& chunk) {
        const std::vector<std::size_t>& ends = chunk.streamEnds();
        std::size_t begin = 0;
        for (const std::size_t end : ends) {
            record(position_ + begin);
            begin = end;
        }
        writeBytes(chunk.streams().data(), chunk.streams().size());
        // Items that could not be coded are written as empty streams.
        static const unsigned char kEmptyStream[kLengthFieldBytes] = {};
        for (std::size_t i = ends.size(); i < chunk.count(); ++i) {
            record(position_);
            writeBytes(kEmptyStream, kLengthFieldBytes);
        }
    }

  private:
    void record(std::uint64_t offset) {
        if (nextOffset_ < offsets_->size()) {
            (*offsets_)[nextOffset_++] = offset;
        }
    }

    void writeBytes(const unsigned char* bytes, std::uint64_t count) {
        constexpr std::uint64_t kLargestWrite = INT_MAX;
        for (std::uint64_t done = 0; done < count;) {
            const auto n = static_cast<unsigned>(std::min(count - done, kLargestWrite));
            if (out_->write(bytes + done, n) != static_cast<int>(n)) {
                allWritten_ = false;
                // Later streams go where the file now ends.
                const std::uint64_t now = out_->tell();
                position_ = now == FileStream::INVALID_POSITION ? position_ + done : now;
                return;
            }
            done += n;
        }
        position_ += count;
    }

    OutputFileStream* out_;                // the data file
    std::vector<std::uint64_t>* offsets_;  // one entry per stream
    std::size_t nextOffset_ = 0;           // entry of the next stream
    std::uint64_t position_ = 0;           // position in out_ after the bytes written
    bool allWritten_ = true;
};

// The pipeline of both encoders: load(chunk, remaining) fills the chunks in turn on the calling
// thread and returns the items it loaded (0 ends the loading); `workers` encoder workers code
// them, and the chunks are written strictly in item order. `chunks` outlives the processor.
template <class Chunk, class Load>
bool codeChunksInOrder(std::vector<tuplink::AutoRef<Chunk>>& chunks, unsigned workers,
                       unsigned count, std::vector<std::uint64_t>& offsets, OutputFileStream& out,
                       Load load) {
    Processor encoders(workers);
    ChunkWriter writer(out, offsets);
    std::deque<Chunk*> coding;  // chunks posted, oldest first
    auto writeOldest = [&] {
        Chunk* oldest = coding.front();
        coding.pop_front();
        encoders.wait(ActionRef(oldest), 0);
        writer.write(*oldest);
    };
    unsigned remaining = count;
    for (std::size_t next = 0; remaining != 0; next = (next + 1) % chunks.size()) {
        Chunk& chunk = *chunks[next];
        if (coding.size() == chunks.size()) {
            writeOldest();  // the oldest chunk is `chunk`
        }
        const unsigned loaded = load(chunk, remaining);
        if (loaded == 0) {
            break;
        }
        remaining -= loaded;
        encoders.post(ActionRef(&chunk));
        coding.push_back(&chunk);
    }
    while (!coding.empty()) {
        writeOldest();
    }
    return writer.allWritten() && remaining == 0;
}

// One chunk of symbol streams and their coded streams: loaded and written by the calling
// thread, coded by one encoder worker.
class SymbolChunkEncoder : public Action {
  public:
    explicit SymbolChunkEncoder(const HuffmanEncodingTable& table) : table_(&table) {}

    // Empties the chunk for loading.
    void clear() {
        symbols_.clear();
        itemEnds_.clear();
    }
    // Where the next item's symbols are appended; endItem() closes the item.
    std::vector<PackedSymbol>& symbols() { return symbols_; }
    void endItem() { itemEnds_.push_back(symbols_.size()); }
    unsigned count() const { return static_cast<unsigned>(itemEnds_.size()); }

    const CodedStreamBuffer& streams() const { return streams_; }
    const std::vector<std::size_t>& streamEnds() const { return streamEnds_; }

  protected:
    void execute() override {
        streams_.clear();
        streamEnds_.clear();
        try {
            std::size_t begin = 0;
            for (const std::size_t end : itemEnds_) {
                const EncodeResult result =
                    table_->encodeSymbols(symbols_.data() + begin, end - begin, streams_);
                assert(result != EncodeResult::kMissingCode &&
                       "the code table lacks a symbol of an item");
                (void)result;
                streamEnds_.push_back(streams_.size());
                begin = end;
            }
        } catch (const std::bad_alloc&) {
        }
    }

  private:
    const HuffmanEncodingTable* table_;
    std::vector<PackedSymbol> symbols_;    // the items' symbols, back to back
    std::vector<std::size_t> itemEnds_;    // end of each item in symbols_
    CodedStreamBuffer streams_;            // their coded streams, back to back
    std::vector<std::size_t> streamEnds_;  // end of each coded stream in streams_
};

bool encodeSymbolChunks(SymbolStreamSource& source, unsigned count,
                        std::vector<std::uint64_t>& offsets, OutputFileStream& out,
                        const HuffmanEncodingTable& table) {
    const unsigned workers = encoderThreads();
    std::vector<tuplink::AutoRef<SymbolChunkEncoder>> chunks;
    for (unsigned i = 0; i < workers + 1; ++i) {
        chunks.emplace_back(new SymbolChunkEncoder(table));
    }
    bool failed = false;  // once the source fails, no stream after it is read
    return codeChunksInOrder(
        chunks, workers, count, offsets, out, [&](SymbolChunkEncoder& chunk, unsigned remaining) {
            chunk.clear();
            while (!failed && chunk.count() < remaining && chunk.count() < kMostChunkItems &&
                   chunk.symbols().size() < kChunkSymbols) {
                failed = !source.appendNext(chunk.symbols());
                if (!failed) {
                    chunk.endItem();
                }
            }
            return chunk.count();
        });
}

// reader.read, clamped to `wanted`; a failure or an exception gives -1.
int readItems(SCItemReader& reader, unsigned short* buffer, unsigned wanted) {
    try {
        return std::min(reader.read(buffer, wanted), static_cast<int>(wanted));
    } catch (...) {
        return -1;
    }
}

bool encodeChunks(SCItemReader& reader, unsigned count, std::vector<std::uint64_t>& offsets,
                  OutputFileStream& out, const HuffmanEncodingTable& table) {
    const unsigned itemSize = reader.itemSize();
    const unsigned workers = encoderThreads();
    // Declared before the processor, so that the processor is gone before them.
    std::vector<tuplink::AutoRef<ChunkEncoder>> chunks;
    for (unsigned i = 0; i < workers + 1; ++i) {
        tuplink::AutoRef<ChunkEncoder> chunk(
            new ChunkEncoder(table, itemSize, itemsPerChunk(itemSize)));
        if (!chunk->isAllocated()) {
            break;
        }
        chunks.push_back(chunk);
    }
    if (chunks.empty()) {
        return false;
    }
    return codeChunksInOrder(
        chunks, workers, count, offsets, out, [&](ChunkEncoder& chunk, unsigned remaining) {
            const int delivered =
                readItems(reader, chunk.items(), std::min(chunk.capacity(), remaining));
            if (delivered <= 0) {
                return 0u;
            }
            chunk.load(static_cast<unsigned>(delivered));
            return static_cast<unsigned>(delivered);
        });
}

}  // namespace

unsigned encoderThreads() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMostEncoderThreads);
}

bool encodeStreams(SCItemReader& reader, unsigned count, std::vector<std::uint64_t>& offsets,
                   OutputFileStream& out, const SCDHeader& header) {
    offsets.assign(count, 0);
    if (count == 0) {
        return true;
    }
    try {
        const HuffmanEncodingTable table(header.codes());
        return encodeChunks(reader, count, offsets, out, table);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool encodeSymbolStreams(SymbolStreamSource& source, unsigned count,
                         std::vector<std::uint64_t>& offsets, OutputFileStream& out,
                         const SCDHeader& header) {
    offsets.assign(count, 0);
    if (count == 0) {
        return true;
    }
    try {
        const HuffmanEncodingTable table(header.codes());
        return encodeSymbolChunks(source, count, offsets, out, table);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

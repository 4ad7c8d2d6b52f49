#include "codec/huffman_encoding_table.h"

#include <bit>
#include <cstring>
#include <limits>

namespace {

static_assert(std::endian::native == std::endian::little, "bits are stored as LE words");

constexpr unsigned kLongestRun = 255;
constexpr unsigned kLengthFieldBytes = 4;
// Bytes kept writable past the next byte to store: one whole word is stored at a time.
constexpr std::size_t kSlack = 16;

// Appends bits, bit 0 first, to a CodedStreamBuffer from byte `start` on, storing a whole
// 64-bit word per put; fewer than 8 bits are ever held back.
class BitSink {
  public:
    BitSink(CodedStreamBuffer& out, std::size_t start)
        : out_(&out), base_(out.makeRoom(start, kSlack)), next_(start) {}

    // Appends the count low bits of bits; higher bits must be 0. REQUIRES: count <= 56.
    void put(std::uint64_t bits, unsigned count) {
        pending_ |= bits << pendingBits_;
        pendingBits_ += count;
        std::memcpy(base_ + next_, &pending_, sizeof pending_);
        const unsigned whole = pendingBits_ >> 3;
        next_ += whole;
        pending_ = whole == 8 ? 0 : pending_ >> (whole * 8);
        pendingBits_ &= 7;
    }
    // Makes room for the next put.
    void reserve() { base_ = out_->makeRoom(next_, kSlack); }
    // Makes room for `bytes` bytes of puts.
    void reserveBytes(std::size_t bytes) { base_ = out_->makeRoom(next_, bytes + kSlack); }
    // Stores the bits held back; returns the end of the bytes written.
    std::size_t finish() {
        if (pendingBits_ != 0) {
            base_[next_++] = static_cast<unsigned char>(pending_);
        }
        return next_;
    }
    unsigned char* base() { return base_; }

  private:
    CodedStreamBuffer* out_;
    unsigned char* base_;        // start of the buffer's memory
    std::size_t next_;           // next byte to store
    std::uint64_t pending_ = 0;  // bits not yet stored for good, lowest first
    unsigned pendingBits_ = 0;   // number of them (< 8 between puts)
};

void storeLength(unsigned char* at, std::uint32_t bitCount) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<unsigned char>(bitCount >> (8 * i));
    }
}

}  // namespace

HuffmanEncodingTable::HuffmanEncodingTable(const SCCodeTable& codes)
    : rowOf_(new std::uint32_t[std::size_t{1} << 16]), book_(codes) {
    std::fill_n(rowOf_.get(), std::size_t{1} << 16, kNoRow);
    for (const auto& [symbol, bits] : codes) {
        std::uint32_t& row = rowOf_[symbol.second];
        if (row == kNoRow) {
            if (rows_.size() / 256 >= kMostRows) {
                continue;
            }
            row = static_cast<std::uint32_t>(rows_.size() / 256);
            rows_.resize(rows_.size() + 256, 0);
        }
        Entry entry = kPresent;
        if (bits.bitCount() > kLengthShift) {
            entry |= Entry{kLongCode} << kLengthShift;
        } else {
            entry |= Entry{bits.bitCount()} << kLengthShift;
            for (std::uint32_t i = 0; i < bits.bitCount(); ++i) {
                entry |= Entry{bits.bit(i)} << i;
            }
        }
        rows_[std::size_t{row} * 256 + symbol.first] = entry;
    }
}

HuffmanEncodingTable::Entry HuffmanEncodingTable::find(unsigned char run,
                                                       unsigned short value) const {
    const std::uint32_t row = rowOf_[value];
    if (row != kNoRow) {
        return rows_[std::size_t{row} * 256 + run];
    }
    const HuffmanCodeBook::Code* code = book_.find(SCSymbol(run, value));
    if (code == nullptr) {
        return 0;
    }
    return kPresent | Entry{kLongCode} << kLengthShift;
}

template <class NextSymbol>
EncodeResult HuffmanEncodingTable::encodeWith(CodedStreamBuffer& out,
                                              NextSymbol&& nextSymbol) const {
    const std::size_t start = out.size();
    BitSink sink(out, start + kLengthFieldBytes);
    std::uint64_t streamBits = 0;
    bool complete = true;
    auto emit = [&](unsigned run, unsigned short value) {
        const Entry entry = find(static_cast<unsigned char>(run), value);
        if ((entry & kPresent) == 0) {
            return false;
        }
        const unsigned length = static_cast<unsigned>(entry >> kLengthShift) & 127;
        sink.reserve();
        if (length != kLongCode) {
            sink.put(entry & ((Entry{1} << kLengthShift) - 1), length);
            streamBits += length;
            return true;
        }
        const HuffmanCodeBook::Code& code =
            *book_.find(SCSymbol(static_cast<unsigned char>(run), value));
        const std::uint64_t* words = book_.words(code);
        for (std::uint32_t done = 0; done < code.bitCount; done += 32) {
            const unsigned piece = std::min<std::uint32_t>(code.bitCount - done, 32);
            const std::uint64_t word = words[done / 64] >> (done % 64);
            sink.reserve();
            sink.put(word & ((std::uint64_t{1} << piece) - 1), piece);
        }
        streamBits += code.bitCount;
        return true;
    };
    unsigned run = 0;
    unsigned short value = 0;
    while (complete && nextSymbol(run, value)) {
        complete = emit(run, value);
    }
    if (!complete || streamBits > std::numeric_limits<std::uint32_t>::max()) {
        storeLength(out.makeRoom(start, kLengthFieldBytes) + start, 0);
        out.setSize(start + kLengthFieldBytes);
        return complete ? EncodeResult::kTooLong : EncodeResult::kMissingCode;
    }
    const std::size_t end = sink.finish();
    storeLength(sink.base() + start, static_cast<std::uint32_t>(streamBits));
    out.setSize(end);
    return EncodeResult::kEncoded;
}

EncodeResult HuffmanEncodingTable::encodeStream(const unsigned short* values, std::size_t count,
                                                CodedStreamBuffer& out) const {
    std::size_t i = 0;
    return encodeWith(out, [&](unsigned& run, unsigned short& value) {
        if (i == count) {
            return false;
        }
        value = values[i];
        run = static_cast<unsigned>(
            1 + equalPrefix(values + i + 1, std::min<std::size_t>(count - i - 1, kLongestRun - 1),
                            value));
        i += run;
        return true;
    });
}

bool HuffmanEncodingTable::encodeSymbolsFast(const PackedSymbol* symbols, std::size_t count,
                                             CodedStreamBuffer& out) const {
    constexpr std::size_t kBatch = 64;
    const std::size_t start = out.size();
    BitSink sink(out, start + kLengthFieldBytes);
    std::uint64_t streamBits = 0;
    Entry entries[kBatch];
    for (std::size_t i = 0; i < count; i += kBatch) {
        const std::size_t n = std::min(kBatch, count - i);
        // The codes of the batch first: their lookups do not wait on one another.
        Entry all = kPresent;
        bool anyLong = false;
        for (std::size_t k = 0; k < n; ++k) {
            const PackedSymbol symbol = symbols[i + k];
            const Entry entry =
                find(static_cast<unsigned char>(symbol), static_cast<unsigned short>(symbol >> 8));
            entries[k] = entry;
            all &= entry;
            anyLong |= ((entry >> kLengthShift) & 127) == kLongCode;
        }
        if (all == 0 || anyLong) {
            return false;  // out's size is set only once the stream is complete
        }
        sink.reserveBytes(n * (kLengthShift / 8));
        for (std::size_t k = 0; k < n; ++k) {
            const unsigned length = static_cast<unsigned>(entries[k] >> kLengthShift) & 127;
            sink.put(entries[k] & ((Entry{1} << kLengthShift) - 1), length);
            streamBits += length;
        }
    }
    if (streamBits > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    const std::size_t end = sink.finish();
    storeLength(sink.base() + start, static_cast<std::uint32_t>(streamBits));
    out.setSize(end);
    return true;
}

EncodeResult HuffmanEncodingTable::encodeSymbols(const PackedSymbol* symbols, std::size_t count,
                                                 CodedStreamBuffer& out) const {
    if (encodeSymbolsFast(symbols, count, out)) {
        return EncodeResult::kEncoded;
    }
    std::size_t i = 0;
    return encodeWith(out, [&](unsigned& run, unsigned short& value) {
        if (i == count) {
            return false;
        }
        const SCSymbol symbol = unpackSymbol(symbols[i++]);
        run = symbol.first;
        value = symbol.second;
        return true;
    });
}

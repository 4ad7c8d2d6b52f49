#include "scd/writer/stream_encoder_actions.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <mutex>

#include "api/sample_buffer.h"
#include "codec/run_length.h"

namespace {

using lattix::lx_tuplink::ActionRef;

void appendUint32(std::vector<unsigned char>& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<unsigned char>(value >> shift));
    }
}

}  // namespace

Controler::Controler(unsigned itemSize, unsigned blockSize, const HuffmanCodeBook& codes,
                     lattix::lx_tuplink::Processor& encoders)
    : itemSize_(itemSize),
      blockSize_(blockSize),
      buffer_(allocateSamples<unsigned short>(std::uint64_t{blockSize} * std::max(itemSize, 1u))),
      streams_(blockSize),
      codeSequences_(blockSize),
      codes_(&codes),
      encoders_(&encoders) {
    for (unsigned i = 0; i < blockSize; ++i) {
        encoderActions_.emplace_back(new Encoder(*this, i));
    }
}

void Controler::load(int count) {
    count_ = count;
    std::lock_guard<tuplink::CriticalSection> guard(lock_);
    loaded_ = true;
}

void Controler::waitWritten() {
    while (!isWritten()) {
        writtenSignal_.wait();
    }
}

void Controler::setWritten() {
    {
        std::lock_guard<tuplink::CriticalSection> guard(lock_);
        written_ = true;
    }
    writtenSignal_.signal();
}

bool Controler::isWritten() {
    std::lock_guard<tuplink::CriticalSection> guard(lock_);
    return written_;
}

bool Controler::takeStart() {
    std::lock_guard<tuplink::CriticalSection> guard(lock_);
    if (!loaded_ || !written_) {
        return false;
    }
    loaded_ = false;
    written_ = false;
    return true;
}

void Controler::execute() {
    const int count = count_;
    itemsLeft_.store(count, std::memory_order_release);
    if (count > 0) {
        for (int i = 0; i < count; ++i) {
            encoders_->post(encoderActions_[static_cast<unsigned>(i)]);
        }
        // A signal kept from an earlier run may let one wait through early: re-test.
        while (itemsLeft_.load(std::memory_order_acquire) != 0) {
            itemsDone_.wait();
        }
    }
    encodedCount_ = count;
    encoded_.signal();
    free_.signal();
}

void Controler::encodeItem(unsigned i) {
    BitVector& stream = streams_[i];
    try {
        const EncodeResult result = encodeValues(buffer_.get() + std::uint64_t{i} * itemSize_,
                                                 itemSize_, *codes_, codeSequences_[i], stream);
        assert(result != EncodeResult::kMissingCode && "the code table lacks a symbol of an item");
        (void)result;
    } catch (...) {
        stream.assignZeros(0);
    }
    // The last statement touching the controller: once the count reaches 0 it may go away.
    if (itemsLeft_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        itemsDone_.signal();
    }
}

void tryStart(Controler& controller, lattix::lx_tuplink::Processor& pipeline) {
    // Never destroyed: encodings may still run while static objects are destroyed.
    static tuplink::CriticalSection* const startLock = new tuplink::CriticalSection;
    std::lock_guard<tuplink::CriticalSection> guard(*startLock);
    if (controller.takeStart()) {
        pipeline.post(ActionRef(&controller));
    }
}

void ActionReader::execute() {
    unsigned remaining = count_;
    std::size_t current = 0;
    for (;;) {
        Controler& controller = *controllers_[current];
        controller.waitFree();
        int delivered = 0;
        if (remaining != 0) {
            const unsigned wanted = std::min(controller.blockSize(), remaining);
            try {
                delivered = reader_->read(controller.buffer(), wanted);
            } catch (...) {
                delivered = -1;
            }
            delivered = std::min(delivered, static_cast<int>(wanted));
        }
        if (delivered <= 0) {
            finished_.store(true, std::memory_order_release);
            // The writer waits on this controller next; once its streams are out, its encoded
            // signal can only be this one, which ends the writer.
            controller.waitWritten();
            controller.signalEncoded();
            return;
        }
        remaining -= static_cast<unsigned>(delivered);
        delivered_.fetch_add(static_cast<std::uint64_t>(delivered), std::memory_order_acq_rel);
        controller.load(delivered);
        tryStart(controller, *pipeline_);
        current = (current + 1) % controllers_.size();
    }
}

void ActionWriter::run() {
    const std::uint64_t start = out_->tell();
    position_ = start == FileStream::INVALID_POSITION ? 0 : start;
    std::size_t current = 0;
    for (;;) {
        Controler& controller = *controllers_[current];
        controller.waitEncoded();
        if (reader_->isFinished() && controller.isWritten()) {
            return;
        }
        writeStreams(controller);
        controller.setWritten();
        tryStart(controller, *pipeline_);
        current = (current + 1) % controllers_.size();
    }
}

void ActionWriter::writeStreams(const Controler& controller) {
    for (int i = 0; i < controller.encodedCount(); ++i) {
        const BitVector& stream = controller.stream(i);
        if (nextOffset_ < offsets_->size()) {
            (*offsets_)[nextOffset_++] = position_ + pending_.size();
        }
        appendUint32(pending_, stream.bitCount());
        if (stream.byteCount() >= kDirectWriteBytes) {
            flush();
            writeBytes(stream.data(), stream.byteCount());
            continue;
        }
        pending_.insert(pending_.end(), stream.data(), stream.data() + stream.byteCount());
        if (pending_.size() >= kFlushBytes) {
            flush();
        }
    }
    flush();
}

void ActionWriter::flush() {
    if (!pending_.empty()) {
        writeBytes(pending_.data(), pending_.size());
        pending_.clear();
    }
}

bool ActionWriter::writeBytes(const unsigned char* bytes, std::uint64_t count) {
    constexpr std::uint64_t kLargestWrite = INT_MAX;
    for (std::uint64_t done = 0; done < count;) {
        const auto n = static_cast<unsigned>(std::min(count - done, kLargestWrite));
        if (out_->write(bytes + done, n) != static_cast<int>(n)) {
            failed_ = true;
            // Later streams go where the stream now stands.
            const std::uint64_t now = out_->tell();
            position_ = now == FileStream::INVALID_POSITION ? position_ + done : now;
            return false;
        }
        done += n;
    }
    position_ += count;
    return true;
}

#include "scd/reader/decoding_runnable.h"

#include <algorithm>
#include <new>
#include <vector>

#include "codec/run_length.h"

namespace {

constexpr std::uint64_t kLengthFieldBytes = 4;  // the uint32 bit count L before a stream's bits

// Holds a lock, when there is one, for the life of the guard.
class OptionalLockGuard {
  public:
    explicit OptionalLockGuard(tuplink::CriticalSection* lock) : lock_(lock) {
        if (lock_ != nullptr) {
            lock_->enter();
        }
    }
    ~OptionalLockGuard() {
        if (lock_ != nullptr) {
            lock_->leave();
        }
    }
    OptionalLockGuard(const OptionalLockGuard&) = delete;
    OptionalLockGuard& operator=(const OptionalLockGuard&) = delete;

  private:
    tuplink::CriticalSection* lock_;
};

bool readExactly(InputFileStream& stream, void* buffer, std::uint64_t byteCount) {
    return stream.read(buffer, static_cast<unsigned>(byteCount)) == static_cast<int>(byteCount);
}

}  // namespace

DecodingRunnable::~DecodingRunnable() = default;

void DecodingRunnable::execute() {
    bool decoded = false;
    try {
        BitVector bits;
        std::vector<SCSymbol> symbols;
        decoded = file_.stream != nullptr && file_.table != nullptr && readBits(bits) &&
                  decodeStream(bits, *file_.table, destination_, valueCount_, symbols);
    } catch (const std::bad_alloc&) {
        decoded = false;
    }
    if (!decoded) {
        std::fill_n(destination_, valueCount_, static_cast<unsigned short>(0));
    }
    decoded_.store(decoded, std::memory_order_release);
}

bool DecodingRunnable::readBits(BitVector& bits) const {
    if (file_.length < kLengthFieldBytes || offset_ > file_.length - kLengthFieldBytes) {
        return false;
    }
    const std::uint64_t bytesAfterLength = file_.length - offset_ - kLengthFieldBytes;
    OptionalLockGuard guard(file_.lock);
    unsigned char lengthField[kLengthFieldBytes];
    if (!file_.stream->seekTo(offset_) ||
        !readExactly(*file_.stream, lengthField, kLengthFieldBytes)) {
        return false;
    }
    const std::uint32_t bitCount =
        std::uint32_t{lengthField[0]} | std::uint32_t{lengthField[1]} << 8 |
        std::uint32_t{lengthField[2]} << 16 | std::uint32_t{lengthField[3]} << 24;
    const std::uint64_t byteCount = BitVector::bytesFor(bitCount);
    if (byteCount > bytesAfterLength) {
        return false;
    }
    bits = BitVector(bitCount);
    if (byteCount != 0 && !readExactly(*file_.stream, bits.data(), byteCount)) {
        return false;
    }
    bits.clearUnusedBits();
    return true;
}

#include "service/reply_size.h"

#include <limits>

#include "sc_api/sc_service.h"
#include "tuplink/status.h"

namespace reply_size {

std::uint64_t product(std::uint64_t a, std::uint64_t b) {
    std::uint64_t result = 0;
    return __builtin_mul_overflow(a, b, &result) ? std::numeric_limits<std::uint64_t>::max()
                                                 : result;
}

bool fits(std::uint64_t bytes) {
    return bytes <= SCService::maxReplyBytes();
}

int sizeImageBuffer(tuplink::Blob& buffer, std::uint64_t values) {
    const std::uint64_t bytes = product(values, sizeof(unsigned short));
    if (!fits(bytes) || bytes > std::numeric_limits<std::size_t>::max()) {
        buffer.clear();
        return tuplink::STATUS_TOO_LARGE;
    }
    return buffer.set(static_cast<std::size_t>(bytes), nullptr) ? 1 : -1;
}

}  // namespace reply_size

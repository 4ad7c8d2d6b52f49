#include "service/service_tuples.h"

#include <cstdint>
#include <cstring>

namespace service_tuples {

Rect rectOf(const tuplink::Tuple& area) {
    auto field = [&area](const char* key) {
        return static_cast<unsigned>(area.get_int(tuplink::Symbol(key)));
    };
    return Rect{field("x"), field("y"), field("width"), field("height")};
}

const unsigned short* samplesOf(const tuplink::Blob& blob, std::vector<unsigned short>& aligned) {
    const auto address = reinterpret_cast<std::uintptr_t>(blob.data());
    if (blob.data() != nullptr && address % alignof(unsigned short) == 0) {
        return reinterpret_cast<const unsigned short*>(blob.data());
    }
    aligned.resize(blob.size() / sizeof(unsigned short) + 1);
    if (!blob.empty()) {
        std::memcpy(aligned.data(), blob.data(), blob.size());
    }
    return aligned.data();
}

}  // namespace service_tuples

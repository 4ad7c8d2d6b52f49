#include "utf8.h"

namespace tuplink {

bool is_nul_free_utf8(const char* text, std::size_t size) {
    const auto* byte = reinterpret_cast<const unsigned char*>(text);
    const auto* end = byte + size;
    while (byte < end) {
        const unsigned lead = *byte++;
        if (lead == 0) {
            return false;
        }
        if (lead < 0x80) {
            continue;
        }
        int continuations = 0;
        unsigned codePoint = 0;
        unsigned lowest = 0;
        if ((lead & 0xE0) == 0xC0) {
            continuations = 1, codePoint = lead & 0x1F, lowest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            continuations = 2, codePoint = lead & 0x0F, lowest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            continuations = 3, codePoint = lead & 0x07, lowest = 0x10000;
        } else {
            return false;
        }
        if (end - byte < continuations) {
            return false;
        }
        for (int index = 0; index < continuations; ++index) {
            const unsigned next = *byte++;
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (codePoint < lowest || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
    }
    return true;
}

}  // namespace tuplink

#pragma once

#include <cstddef>

namespace tuplink {

// Whether `size` bytes at `text` are valid UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF) without a NUL character.
bool is_nul_free_utf8(const char* text, std::size_t size);

}  // namespace tuplink

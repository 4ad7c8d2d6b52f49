#pragma once

#include <compare>
#include <cstddef>
#include <string>

#include "tuplink/export.h"

namespace tuplink {

// The text of a string value: NUL-free UTF-8 as it travels, readable as a C string. Ordered
// by byte-wise comparison, so it can key an ordered table (for example one keyed by path).
class TUPLINK_EXPORT AString {
  public:
    AString() = default;
    // REQUIRES: `text` is not null.
    explicit AString(const char* text) : text_(text) {}
    // The first `length` bytes of `text`. REQUIRES: they hold no NUL byte.
    AString(const char* text, std::size_t length) : text_(text, length) {}

    const char* c_str() const { return text_.c_str(); }
    std::size_t size() const { return text_.size(); }
    bool empty() const { return text_.empty(); }
    const std::string& str() const { return text_; }

    friend bool operator==(const AString&, const AString&) = default;
    friend auto operator<=>(const AString&, const AString&) = default;

  private:
    std::string text_;  // the text, without NUL characters
};

}  // namespace tuplink

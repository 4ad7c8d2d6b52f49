#pragma once

#include <compare>
#include <string>
#include <string_view>

#include "tuplink/export.h"

namespace tuplink {

// A key of a tuple value or a tuple's class name. A symbol holds its own copy of the text;
// two symbols are equal when their texts are.
class TUPLINK_EXPORT Symbol {
  public:
    // REQUIRES: `text` is not null.
    explicit Symbol(const char* text) : text_(text) {}
    explicit Symbol(std::string_view text) : text_(text) {}

    const char* c_str() const { return text_.c_str(); }
    const std::string& str() const { return text_; }

    friend bool operator==(const Symbol&, const Symbol&) = default;
    friend auto operator<=>(const Symbol&, const Symbol&) = default;

  private:
    std::string text_;  // the name, without NUL characters
};

}  // namespace tuplink

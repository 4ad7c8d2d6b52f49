#pragma once

#include <stdexcept>
#include <string>

namespace sc_api_python {

// A failure reported by the library: its SCErrorCode and a sentence naming what failed. The
// bindings turn it into the Python exception sc_api.Error, whose `code` is the same value.
class LibraryError : public std::runtime_error {
  public:
    LibraryError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}

    int code() const { return code_; }

  private:
    int code_;  // SCErrorCode of the failure
};

// The library's words for an SCErrorCode ("channel or pixel out of range", ...).
std::string errorText(int code);

// Throws LibraryError(code, what + ": " + errorText(code)) unless code is SC_OK.
void throwIfFailed(int code, const std::string& what);

// A request that makes no sense for the cube (bad index, shape or dtype); the bindings turn
// it into IndexError or ValueError.
class IndexOutOfCube : public std::out_of_range {
    using std::out_of_range::out_of_range;
};
class InvalidArgument : public std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

}  // namespace sc_api_python

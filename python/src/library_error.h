#pragma once

#include <stdexcept>
#include <string>

#include "sc_api/sc_status.h"

namespace sc_api_python {

// A failure reported by the library: its SCErrorCode, the problem named by the library's file
// operations ("missing_file", "not_a_cube", ...; empty for a failed read) and a sentence naming
// what failed. The bindings turn it into the Python exception sc_api.Error with the same
// `code`, `problem` and text.
class LibraryError : public std::runtime_error {
  public:
    LibraryError(int code, const std::string& message, std::string problem = {})
        : std::runtime_error(message), code_(code), problem_(std::move(problem)) {}

    int code() const { return code_; }
    const std::string& problem() const { return problem_; }

  private:
    int code_;             // SCErrorCode of the failure
    std::string problem_;  // SCProblem as a lower-case identifier, or empty
};

// Throws LibraryError(code, what + ": " + the library's text for code) unless code is SC_OK.
void throwIfFailed(int code, const std::string& what);
// Throws LibraryError with the status's message unless it is ok; its code is the SCErrorCode
// nearest to the problem (files missing or refused: SC_FILE_ERROR; not a cube, damaged:
// SC_FORMAT_ERROR; writing: SC_WRITE_ERROR; outside the cube or values out of range:
// SC_OUT_OF_RANGE).
void throwIfFailed(const SCStatus& status);

// A request that makes no sense for the cube (bad index, shape or dtype); the bindings turn
// it into IndexError or ValueError.
class IndexOutOfCube : public std::out_of_range {
    using std::out_of_range::out_of_range;
};
class InvalidArgument : public std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

}  // namespace sc_api_python

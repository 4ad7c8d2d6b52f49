#include "library_error.h"

#include "sc_api/sc_error_code.h"

namespace sc_api_python {

std::string errorText(int code) {
    switch (code) {
        case SC_OK:
            return "no error";
        case SC_OUT_OF_RANGE:
            return "a pixel or channel lies outside the cube";
        case SC_WRITE_ERROR:
            return "writing failed (disk full or not writable)";
        case SC_FILE_ERROR:
            return "a file cannot be opened, or is not open";
        case SC_FORMAT_ERROR:
            return "the file is damaged or not a cube";
        default:
            return "error " + std::to_string(code);
    }
}

void throwIfFailed(int code, const std::string& what) {
    if (code != SC_OK) {
        throw LibraryError(code, what + ": " + errorText(code));
    }
}

}  // namespace sc_api_python

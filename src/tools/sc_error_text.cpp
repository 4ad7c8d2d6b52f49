#include "sc_api/sc_error_text.h"

#include "sc_api/sc_error_code.h"

const char* scErrorText(int code) {
    switch (code) {
        case SC_OK:
            return "success";
        case SC_OUT_OF_RANGE:
            return "the position or channel range lies outside the cube";
        case SC_WRITE_ERROR:
            return "writing failed";
        case SC_FILE_ERROR:
            return "a file cannot be opened or is not open";
        case SC_FORMAT_ERROR:
            return "a header or a data stream is malformed, unsupported or cut short";
        case SC_ALLOCATION_ERROR:
            return "memory for the operation could not be allocated";
        default:
            return "unknown error";
    }
}

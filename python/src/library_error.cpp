#include "library_error.h"

#include "sc_api/sc_error_code.h"
#include "sc_api/sc_error_text.h"

namespace sc_api_python {
namespace {

struct ProblemCode {
    const char* name;  // identifier shown to Python
    int code;          // nearest SCErrorCode
};

ProblemCode problemCode(SCProblem problem) {
    switch (problem) {
        case SCProblem::NONE:
            return {"", SC_OK};
        case SCProblem::MISSING_FILE:
            return {"missing_file", SC_FILE_ERROR};
        case SCProblem::PERMISSION_DENIED:
            return {"permission_denied", SC_FILE_ERROR};
        case SCProblem::NOT_A_CUBE:
            return {"not_a_cube", SC_FORMAT_ERROR};
        case SCProblem::DAMAGED_HEADER:
            return {"damaged_header", SC_FORMAT_ERROR};
        case SCProblem::UNSUPPORTED_LAYOUT:
            return {"unsupported_layout", SC_FORMAT_ERROR};
        case SCProblem::FOREIGN_LAYOUT:
            return {"foreign_layout", SC_FORMAT_ERROR};
        case SCProblem::DAMAGED_DATA:
            return {"damaged_data", SC_FORMAT_ERROR};
        case SCProblem::OUTPUT_EXISTS:
            return {"output_exists", SC_FILE_ERROR};
        case SCProblem::SAME_INPUT_OUTPUT:
            return {"same_input_output", SC_FILE_ERROR};
        case SCProblem::WRITE_FAILED:
            return {"write_failed", SC_WRITE_ERROR};
        case SCProblem::VALUES_OUT_OF_RANGE:
            return {"values_out_of_range", SC_OUT_OF_RANGE};
        case SCProblem::INVALID_ARGUMENT:
            return {"invalid_argument", SC_OUT_OF_RANGE};
        case SCProblem::OUT_OF_MEMORY:
            return {"out_of_memory", SC_ALLOCATION_ERROR};
        case SCProblem::INTERRUPTED:
            return {"interrupted", SC_WRITE_ERROR};
    }
    return {"unknown", SC_FORMAT_ERROR};
}

}  // namespace

void throwIfFailed(int code, const std::string& what) {
    if (code != SC_OK) {
        throw LibraryError(code, what + ": " + scErrorText(code));
    }
}

void throwIfFailed(const SCStatus& status) {
    if (!status.ok()) {
        const ProblemCode problem = problemCode(status.problem);
        throw LibraryError(problem.code, status.message(), problem.name);
    }
}

}  // namespace sc_api_python

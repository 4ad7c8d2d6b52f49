#include "sc_api/sc_status.h"

const char* scProblemText(SCProblem problem) {
    switch (problem) {
        case SCProblem::NONE:
            return "ok";
        case SCProblem::MISSING_FILE:
            return "missing file";
        case SCProblem::PERMISSION_DENIED:
            return "permission denied";
        case SCProblem::NOT_A_CUBE:
            return "not a cube";
        case SCProblem::DAMAGED_HEADER:
            return "damaged header";
        case SCProblem::UNSUPPORTED_LAYOUT:
            return "unsupported data layout";
        case SCProblem::FOREIGN_LAYOUT:
            return "raw layout of another program";
        case SCProblem::DAMAGED_DATA:
            return "damaged data";
        case SCProblem::OUTPUT_EXISTS:
            return "output already exists";
        case SCProblem::SAME_INPUT_OUTPUT:
            return "output is the input itself";
        case SCProblem::WRITE_FAILED:
            return "write failed";
        case SCProblem::VALUES_OUT_OF_RANGE:
            return "values outside 0...65535";
        case SCProblem::INVALID_ARGUMENT:
            return "outside the cube";
        case SCProblem::OUT_OF_MEMORY:
            return "not enough memory";
        case SCProblem::INTERRUPTED:
            return "interrupted";
    }
    return "unknown problem";
}

std::string SCStatus::message() const {
    std::string line = file.empty() ? std::string() : file + ": ";
    line += scProblemText(problem);
    if (!detail.empty()) {
        line += ": " + detail;
    }
    return line;
}

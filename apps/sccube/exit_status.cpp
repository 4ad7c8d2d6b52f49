#include "exit_status.h"

#include <iostream>

const char* const kExitStatusHelp =
    "Exit status:\n"
    "  0    success (check: spectra and images agree)\n"
    "  1    check: spectra and images disagree\n"
    "  2    bad command line, or a position or channel range outside the cube\n"
    "  3    a file is missing, or access to it was refused\n"
    "  4    not a cube, a damaged cube, or a raw layout that needs `sccube import`\n"
    "  5    the output exists (see --force), is the input, or could not be written\n"
    "  6    import: values outside 0...65535 (see --clip)\n"
    "  7    not enough memory\n"
    "  130  interrupted; no partial output is left behind\n";

ExitStatus exitStatusFor(SCProblem problem) {
    switch (problem) {
        case SCProblem::NONE:
            return EXIT_OK;
        case SCProblem::MISSING_FILE:
        case SCProblem::PERMISSION_DENIED:
            return EXIT_NO_ACCESS;
        case SCProblem::NOT_A_CUBE:
        case SCProblem::DAMAGED_HEADER:
        case SCProblem::UNSUPPORTED_LAYOUT:
        case SCProblem::FOREIGN_LAYOUT:
        case SCProblem::DAMAGED_DATA:
            return EXIT_NOT_READABLE;
        case SCProblem::OUTPUT_EXISTS:
        case SCProblem::SAME_INPUT_OUTPUT:
        case SCProblem::WRITE_FAILED:
            return EXIT_WRITE_FAILED;
        case SCProblem::VALUES_OUT_OF_RANGE:
            return EXIT_OUT_OF_RANGE;
        case SCProblem::INVALID_ARGUMENT:
            return EXIT_USAGE;
        case SCProblem::OUT_OF_MEMORY:
            return EXIT_NO_MEMORY;
        case SCProblem::INTERRUPTED:
            return EXIT_INTERRUPTED;
    }
    return EXIT_USAGE;
}

int reportFailure(const SCStatus& status) {
    std::string message = status.message();
    if (status.problem == SCProblem::FOREIGN_LAYOUT) {
        message += "; read it with `sccube import`";
    }
    return reportFailure(message, exitStatusFor(status.problem));
}

int reportFailure(const std::string& message, ExitStatus status) {
    std::cerr << "sccube: " << message << std::endl;
    return status;
}

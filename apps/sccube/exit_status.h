#pragma once

#include <string>

#include "sc_api/sc_status.h"

// The exit statuses of sccube, as its usage text documents them.
enum ExitStatus : int {
    EXIT_OK = 0,             // success (check: spectra and images agree)
    EXIT_INCONSISTENT = 1,   // check: spectra and images disagree
    EXIT_USAGE = 2,          // bad command line, or a position or range outside the cube
    EXIT_NO_ACCESS = 3,      // a file is missing or access to it was refused
    EXIT_NOT_READABLE = 4,   // not a cube, damaged, or a layout that needs `import`
    EXIT_WRITE_FAILED = 5,   // the output exists, is the input, or could not be written
    EXIT_OUT_OF_RANGE = 6,   // import: values outside 0...65535 and no --clip
    EXIT_NO_MEMORY = 7,      // not enough memory
    EXIT_INTERRUPTED = 130,  // stopped by Ctrl-C; nothing left behind
};

// The text listing the statuses, for the usage text.
extern const char* const kExitStatusHelp;

// The exit status for a problem.
ExitStatus exitStatusFor(SCProblem problem);

// Prints "sccube: <message>" on the standard error, with a hint where the problem has a remedy
// in another subcommand, and returns the exit status for it.
int reportFailure(const SCStatus& status);

// Prints "sccube: <message>" on the standard error and returns `status`.
int reportFailure(const std::string& message, ExitStatus status);

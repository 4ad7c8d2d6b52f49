#pragma once

#include <string>
#include <utility>

#include "sc_api/export.h"

// Why an operation on named cube files did not succeed, in the terms of someone who handed the
// names over: a file is missing, access is refused, the file is not a cube, and so on.
enum class SCProblem {
    NONE,                 // success
    MISSING_FILE,         // a file or directory the operation needs does not exist
    PERMISSION_DENIED,    // the system refused to read or create a file
    NOT_A_CUBE,           // the name or the file's content is of no cube format
    DAMAGED_HEADER,       // a header of a known format is malformed or cut short
    UNSUPPORTED_LAYOUT,   // a raw header describes data that no reader of the library takes
    FOREIGN_LAYOUT,       // a raw header the cube reader refuses but SCRawImport reads
    DAMAGED_DATA,         // a data file is shorter than its header promises, or inconsistent
    OUTPUT_EXISTS,        // the output would replace existing files and replacing was not asked
    SAME_INPUT_OUTPUT,    // the output names the input's own files
    WRITE_FAILED,         // writing the output failed (for example, the disk is full)
    VALUES_OUT_OF_RANGE,  // imported values do not fit in 0 ... 65535 and clipping was not asked
    INVALID_ARGUMENT,     // a position, region or channel range lies outside the cube
    OUT_OF_MEMORY,        // the work needs more memory than is available
    INTERRUPTED,          // the caller's progress callback asked to stop
};

// A short English phrase for a problem ("missing file", "not a cube", ...); never null.
SC_API_EXPORT const char* scProblemText(SCProblem problem);

// The outcome of an operation on named files: success, or the problem, the file it concerns
// and the specifics.
struct SC_API_EXPORT SCStatus {
    SCProblem problem = SCProblem::NONE;
    std::string file;    // the file the problem concerns; empty when none does
    std::string detail;  // specifics, e.g. "data-type float with data-length 2"; may be empty

    SCStatus() = default;
    SCStatus(SCProblem what, std::string path, std::string specifics = {})
        : problem(what), file(std::move(path)), detail(std::move(specifics)) {}

    bool ok() const { return problem == SCProblem::NONE; }
    // One line without line end: "<file>: <problem text>[: <detail>]" ("<problem text>..." when
    // no file is concerned); "ok" on success.
    std::string message() const;
};

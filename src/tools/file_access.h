#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sc_api/sc_status.h"

// Questions about named files asked before a reader or writer touches them, answered as
// SCStatus values that name the file.

// The extension of a file name: from the last "." of its last path component to the end, dot
// included; empty when that component holds no ".".
std::string fileExtension(const std::string& path);

// Whether `path` exists (as anything).
bool pathExists(const std::string& path);

// The size of the regular file `path`; nothing when it is not one.
std::optional<std::uint64_t> regularFileSize(const std::string& path);

// OK when `path` is a regular file that this process may read; otherwise MISSING_FILE,
// PERMISSION_DENIED, NOT_A_CUBE (a directory or device) or DAMAGED_DATA (another failure,
// detail from the system).
SCStatus checkReadable(const std::string& path);

// Status for a failed system call on `path` with the given errno value: MISSING_FILE,
// PERMISSION_DENIED, WRITE_FAILED with "no space left on the device", or `otherwise` with the
// system's text.
SCStatus statusFromErrno(int error, const std::string& path, SCProblem otherwise);

// OK when a new file can be created as `path` (tried with a throw-away file of that name, which
// must not exist, and removed again); the problem otherwise.
SCStatus checkCreatable(const std::string& path);

// Why writing into the directory of `path` may have failed: "no space left on the device" when
// it has no free block for this process, else a general text.
std::string writeFailureDetail(const std::string& path);

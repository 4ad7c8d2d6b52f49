#pragma once

#include <string>
#include <string_view>

// Cube paths as the service keys and confines them. Both functions work on '/'-separated
// POSIX paths and never fail on their input.
namespace cube_path {

// The lexical canonical form of `path`: absolute, with "." segments, ".." segments (each with
// the segment before it) and repeated or trailing separators removed, so that differently
// spelled paths to one cube give one text. A relative `path` is taken against `root` (an
// absolute path); ".." above "/" stays at "/". No file is looked at.
std::string canonical(std::string_view path, std::string_view root);

// Whether the cube named `canonicalName` (a result of canonical()) lies strictly inside the
// directory `root`: after resolving the symbolic links of the longest existing part of the
// name, and of the cube's own files name + ".scdh", ".scds" and ".scdi" where they exist, the
// name and those files are below the resolved root. A root that does not exist confines
// nothing in: every name is refused.
bool insideRoot(const std::string& canonicalName, const std::string& root);

}  // namespace cube_path

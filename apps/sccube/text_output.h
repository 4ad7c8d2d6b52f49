#pragma once

#include <string>

// Writes `text` to `path` under a temporary name, renamed into place when complete. Returns an
// empty string on success, otherwise what went wrong.
std::string writeTextFile(const std::string& path, const std::string& text);

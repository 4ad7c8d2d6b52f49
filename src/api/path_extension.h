#pragma once

#include <string>

// The extension by which loaders recognise a cube file: everything from the last "." of the
// whole path (directories included) to its end, the dot included; empty when the path has no
// dot. Loaders compare it exactly, case included.
std::string pathExtension(const std::string& path);

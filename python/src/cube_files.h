#pragma once

#include <string>

namespace sc_api_python {

// A cube named by one of its files, as the Python package takes cubes: "<base>.raw" (or
// "<base>.rpl") for a raw cube, "<base>.scdh" for a compressed or fragmented one.
struct CubeName {
    enum Kind { Raw, Compressed };

    // Throws InvalidArgument for a name without one of those extensions.
    static CubeName parse(const std::string& path);

    Kind kind;
    std::string base;  // the name without its extension
};

// The storage forms a cube can be converted to: "scd", "raw-vector", "raw-image".
// Writes the cube `source` as `target` in the form `to` (empty: "scd" for a ".scdh" target,
// "raw-vector" for a ".raw" one). The cube is written under a temporary name beside the target
// and renamed into place, header last, only when complete: a failed conversion leaves no
// target and no temporary file. An existing target is replaced. Throws LibraryError when the
// source cannot be opened or the target cannot be written, InvalidArgument when `to` is
// unknown or does not match the target's extension.
void convertCube(const std::string& source, const std::string& target, const std::string& to);

// Whether the spectra and the channel images of the cube agree (always true for a raw cube,
// which stores one view). Throws LibraryError when the cube cannot be opened.
bool checkCube(const std::string& path);

// Deletes every file of the cube and nothing else. Throws LibraryError when there is no such
// cube or a file of it could not be removed.
void removeCube(const std::string& path);

}  // namespace sc_api_python

#pragma once

#include <string>

#include "sc_api/sc_cube_probe.h"
#include "sc_api/sc_integrity_check.h"
#include "sc_api/sc_raw_import.h"

namespace sc_api_python {

// Where a conversion or an import writes, as sccube takes it: `target` is "OUT.scdh",
// "OUT.rpl", "OUT.raw" or "OUT" without extension; the form is `to` ("scd", "raw-vector",
// "raw-image") when not empty, else the extension's (".scdh": scd; ".rpl", ".raw":
// raw-vector), else scd. Throws InvalidArgument for an unknown form or one that contradicts
// the extension.
struct OutputTarget {
    std::string base;  // the target without its extension
    SCCubeForm form;   // the form to write

    static OutputTarget resolve(const std::string& target, const std::string& to);
};

// Every operation below throws LibraryError with the library's message when it fails.

// Writes the cube `source` (any cube; a name as SCCubeProbe takes it) as `target` in the form
// `to`; the output appears only when complete. An existing output is replaced only when
// `replace` is set.
void convertCube(const std::string& source, const std::string& target, const std::string& to,
                 bool replace);

// Imports a ".rpl"/".raw" pair written by another program as `target` in the form `to`.
// Values outside 0 ... 65535 refuse the import unless `clip` is set.
SCRawImportReport importRaw(const std::string& rplPath, const std::string& target,
                            const std::string& to, bool clip, bool replace);

// Compares the cube's spectra with its channel images.
SCIntegrityReport checkCube(const std::string& path);

// Deletes every file of the cube and nothing else.
void removeCube(const std::string& path);

}  // namespace sc_api_python

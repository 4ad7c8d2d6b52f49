#pragma once

#include <string>
#include <vector>

#include "sc_api/export.h"
#include "sc_api/sc_file.h"
#include "sc_api/sc_status.h"
#include "sc_api/shared_ptr.h"

// The forms in which the library stores a cube.
enum class SCCubeForm {
    RAW_VECTOR,      // base.rpl + base.raw, spectrum after spectrum
    RAW_IMAGE,       // base.rpl + base.raw, channel image after channel image
    SCD,             // base.scdh + base.scds + base.scdi
    FRAGMENTED_SCD,  // base.scdh (area map) + one SCD cube base.i per area
};

// A short English name of a form: "raw by vector", "raw by image", "compressed (SCD)",
// "fragmented compressed (SCD)".
SC_API_EXPORT const char* scCubeFormText(SCCubeForm form);

// A cube opened by name, with its form and base name, or the reason it did not open.
struct SC_API_EXPORT SCOpenedCube {
    SharedPtr<SCFile, SCDeleteFile> cube;  // null unless status.ok()
    SCCubeForm form = SCCubeForm::SCD;     // meaningful when the files were recognised
    std::string base;                      // the cube's name without extension
    SCStatus status;                       // why the cube did not open
};

// Opens cubes by the names people give them and says precisely why one does not open. A name
// is a header or data file ("map.scdh", "map.raw", "map.rpl") or a base name ("map", tried as
// "map.scdh" and then as "map.rpl"); extensions are taken from the last "." of the file name
// (directories do not count) and compared exactly.
class SC_API_EXPORT SCCubeProbe {
  public:
    SCCubeProbe() = delete;

    // Opens the cube. Before handing any file to a reader it checks what the readers do not
    // report: missing files (which the SCD reader would otherwise create empty), access refused,
    // a header of no known kind, a raw header that only SCRawImport reads, a data file
    // shorter than its header promises. Never creates, changes or removes a file.
    static SCOpenedCube open(const std::string& name);

    // Every file of the cube `base` stored in `form` that exists, in the order they are read:
    // header, data, areas (fragmented: each area's three files), calibration. For a fragmented
    // cube the area map is read to find the areas; an unreadable map lists only base.scdh.
    static std::vector<std::string> files(const std::string& base, SCCubeForm form);

    // The files a new cube `base` of `form` consists of (not areas): ".rpl" and ".raw", or
    // ".scdh", ".scds" and ".scdi", header first.
    static std::vector<std::string> outputFiles(const std::string& base, SCCubeForm form);

    // Removes every file of the cube `name` (named as for open(), the cube need not open in
    // full): for raw cubes base.rpl and base.raw, for SCD cubes their three files, for fragmented
    // ones every area cube and the map, and the calibration file; nothing else. MISSING_FILE or
    // NOT_A_CUBE, removing nothing, when the name designates no cube; WRITE_FAILED when a file
    // could not be removed (the others are removed).
    static SCStatus remove(const std::string& name);
};

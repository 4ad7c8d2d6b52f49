#pragma once

#include <string>

#include "sc_api/export.h"
#include "sc_api/sc_cube_loader.h"
#include "sc_api/sc_error_code.h"
#include "sc_api/sc_file_builder.h"
#include "sc_api/sc_raw_file.h"
#include "sc_api/sc_raw_header.h"
#include "sc_api/shared_ptr.h"

class SCCube;

// Static facade of the raw format. A raw cube is named by a base path without extension; its
// files are base + ".rpl" (text header) and base + ".raw" (data).
class SC_API_EXPORT SCRawIO {
  public:
    SCRawIO() = delete;

    // Reads the ".rpl" file at `rplPath` (the full file name) into `header`.
    // SC_FILE_ERROR when it cannot be opened; SC_FORMAT_ERROR when a required key is missing,
    // a number is not a plain unsigned decimal, or the data are not 4-byte unsigned
    // little-endian values starting at byte 0 ("offset" absent or 0) and stored by "vector" or
    // "image". Files of other layouts are read by SCRawImport.
    static SCErrorCode readSCRawHeader(const std::string& rplPath, SCRawHeader& header);

    // Opens the raw cube `base`; null when the header is missing or refused, or the data file
    // is missing or shorter than the header promises. Nothing is created.
    static SharedPtr<SCRawFile, SCDeleteRawFile> openSCRawFile(const std::string& base);

    // A builder writing the raw cube `base` in the header's storage order (anything but
    // RECORD_BY_IMAGE is stored by vector), starting from an empty data file; null when the
    // data file cannot be created. The builder takes at most height lines (one more is refused
    // with SC_OUT_OF_RANGE, nothing written); close(), or destroying it while open, fills the
    // lines never written with zeros and writes the header; a cancelled builder leaves no file.
    static SharedPtr<SCFileBuilder, SCDeleteFileBuilder> getBuilder(const std::string& base,
                                                                    const SCRawHeader& header);

    // Writes any cube as the raw cube `base` in `format`, values scaled by the cube's factor:
    // by image, the low 16 bits of each scaled value; by vector, the low 32 bits of each
    // truncated spectrum value. Reads that fail leave zeros. SC_FILE_ERROR when the data file
    // cannot be created or is the one `cube` reads; SC_WRITE_ERROR when writing fails.
    static SCErrorCode saveSCCube(const std::string& base, const SCCube& cube,
                                  SCRawHeader::StorageFormat format);

    // Deletes base + ".rpl" and base + ".raw"; files that do not exist are skipped.
    static void removeSCRaw(const std::string& base);

    // A new loader for the cube registry that opens "<base>.raw" paths as raw cubes.
    static SharedPtr<SCCubeLoader, SCDeleteCubeLoader> getSCRawCubeLoader();
};

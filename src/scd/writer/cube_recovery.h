#pragma once

#include <array>
#include <string>

#include "sc_api/sc_error_code.h"
#include "scd/writer/build_journal.h"

// Making an SCD cube from what its line builder left beside it: the temporary spectrum file
// N + "__tmp_spectrum_file" (the lines as they came, width x depth 16-bit values each) and the
// journal (dimensions, factor, lines wholly written; see BuildJournal). The cube is coded from
// the spectra alone, exactly as the builder's close() would have coded those lines: the same
// three files, byte for byte, the lines not recovered reading as not acquired.

// The temporary files of the line builder of cube `name`.
std::string temporarySpectrumPath(const std::string& name);
std::string temporaryImagePath(const std::string& name);
// N + "__tmp_image_symbols": the channel images' symbols a builder keeps.
std::string temporaryImageSymbolsPath(const std::string& name);
// N + "__tmp_spectrum_symbols": the spectra's symbols a builder keeps.
std::string temporarySpectrumSymbolsPath(const std::string& name);

// Codes the first `lines` lines of the temporary spectrum file of cube `name`, whose dimensions
// and factor are `cube`, into the cube `name`, published header last. SC_OK, or the failure
// (SC_FILE_ERROR when the file is missing or shorter than those lines, SC_WRITE_ERROR,
// SC_ALLOCATION_ERROR, also when the cube's indexes would not fit in memory); the temporaries
// are left as they are either way.
SCErrorCode codeTemporarySpectra(const std::string& name, const BuildJournal::Contents& cube,
                                 unsigned lines);

// The paths of all the temporary files of the line builder of cube `name`.
std::array<std::string, 4> builderTemporaryPaths(const std::string& name);

// Removes the temporary spectrum and image files of cube `name` (missing ones are skipped).
void removeBuilderTemporaries(const std::string& name);

// Recovers the cube `name` whose builder is gone (its process died or it was destroyed without
// close()): takes the journal's lock, codes the lines that the journal and the temporary
// spectrum file both hold, then removes the temporaries and the journal. Returns the number of
// lines recovered (0 or more), or SC_FILE_ERROR when there is no journal, it is damaged, or a
// builder still holds it; SC_FORMAT_ERROR when its dimensions disagree with the size of the
// temporary image file; other failures as codeTemporarySpectra, the temporaries then kept.
int recoverSCDCube(const std::string& name);

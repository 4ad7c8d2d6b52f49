#pragma once

#include <string>

#include "sc_api/export.h"

// Conversion of a raw cube into an SCD cube.
class SC_API_EXPORT RawToSCD {
  public:
    RawToSCD() = delete;

    // Converts the raw cube rawName (rawName + ".rpl", rawName + ".raw", stored by vector or by
    // image) into the SCD cube scdName: its spectra are the raw values' low 16 bits, its factor
    // 1.0 and every line acquired. The cube is the same whichever order the raw data are stored
    // in. Returns SC_OK, or SC_FILE_ERROR, creating nothing, when the header is missing or
    // refused or the data file is missing or shorter than the header promises; other failures
    // as SCD::encode. Unlike SCD::encode it reads the data file only once: the spectra's
    // run-length symbols wait in the temporary file scdName + "__tmp_spectrum_symbols" (beside
    // scdName + "__tmp__raw__image.raw") until they are coded, and both are removed at the end.
    // The files written are those SCD::encode writes from the same spectra.
    static int encode(const std::string& rawName, const std::string& scdName);
};

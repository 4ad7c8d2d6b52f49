#pragma once

#include <string>

// Whether the spectrum and image files of the simple SCD cube `base` reach at least as far as
// the last stream offsets of its index: a cube whose files were cut short while being written
// (disk full) fails this, even though its header opens. False too when the header cannot be
// read.
bool scdDataFilesComplete(const std::string& base);

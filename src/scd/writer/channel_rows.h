#pragma once

#include <cstddef>

// Turns spectra (pixel after pixel, `depth` values each) into channel rows, for channels
// firstChannel ... endChannel - 1: the value of channel c of pixel p goes to
// rows[(c - firstChannel) * pixels + p]. REQUIRES: endChannel <= depth; rows holds
// (endChannel - firstChannel) * pixels values.
void transposeToChannelRows(const unsigned short* spectra, std::size_t pixels, unsigned depth,
                            unsigned firstChannel, unsigned endChannel, unsigned short* rows);

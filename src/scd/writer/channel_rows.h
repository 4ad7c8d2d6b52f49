#pragma once

#include <cstddef>

// Turns spectra (pixel after pixel, `depth` values each) into channel rows: the value of channel
// c of pixel p goes to rows[c * pixels + p]. Only channels firstChannel ... endChannel - 1 are
// written, so that several threads may fill one buffer, each with a channel range of its own.
// REQUIRES: endChannel <= depth; rows holds depth * pixels values.
void transposeToChannelRows(const unsigned short* spectra, std::size_t pixels, unsigned depth,
                            unsigned firstChannel, unsigned endChannel, unsigned short* rows);

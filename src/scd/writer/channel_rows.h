#pragma once

#include <cstddef>

// Turns spectra (pixel after pixel, `depth` values each) into channel rows, for channels
// firstChannel ... endChannel - 1: the value of channel c of pixel p goes to
// rows[(c - firstChannel) * pixels + p]. REQUIRES: endChannel <= depth; rows holds
// (endChannel - firstChannel) * pixels values.
void transposeToChannelRows(const unsigned short* spectra, std::size_t pixels, unsigned depth,
                            unsigned firstChannel, unsigned endChannel, unsigned short* rows);

// The same layout, for spectra whose channel rows stay in the cache (a line of a cube, some
// hundreds of pixels, of a range of channels): eight spectra at a time are moved across the
// whole channel range, so that each spectrum is read front to back once.
void transposeLineToChannelRows(const unsigned short* spectra, std::size_t pixels, unsigned depth,
                                unsigned firstChannel, unsigned endChannel, unsigned short* rows);

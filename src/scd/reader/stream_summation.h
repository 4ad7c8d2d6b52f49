#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sc_api/sc_error_code.h"
#include "scd/reader/coded_stream_reader.h"

// Adds the values of many coded streams of one data file, each of valueCount values, into
// valueCount 64-bit sums (stream values add at the same position: the streams of a pixel
// region into a region spectrum, channel images into a ROI image).
//
// The streams are shared out, one at a time, between the calling thread and up to
// hardware-concurrency - 1 actions on the library's processor; each of them decodes straight
// into sums of its own, skipping zero runs, and the caller adds those up at the end. No symbol
// vector or expanded stream is ever made. Extra workers are only used while their sums stay
// within a fixed memory budget, so the memory taken is a few times valueCount sums at most.
//
// Returns SC_OK with sums holding the total, SC_FILE_ERROR when a stream could not be read,
// SC_FORMAT_ERROR when one lies outside its file or does not decode into exactly valueCount
// values; the sums are then incomplete. Returns only when no worker touches the sums any more.
SCErrorCode sumStreams(const CodedStreamFile& file, const std::vector<StreamPlace>& places,
                       std::size_t valueCount, std::uint64_t* sums);

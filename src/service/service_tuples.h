#pragma once

#include <vector>

#include "sc_api/rect.h"
#include "tuplink/blob.h"
#include "tuplink/tuple.h"

// Values that both interfaces read from tuples and blobs.
namespace service_tuples {

// The area tuple's "x", "y", "width", "height" (0 when absent) as a Rect; negative numbers
// become the unsigned values of their bits, which no cube contains.
Rect rectOf(const tuplink::Tuple& area);

// The blob's bytes seen as 16-bit values in memory order. A blob whose bytes are not aligned
// for them (it may view a received message) is copied into `aligned` first.
const unsigned short* samplesOf(const tuplink::Blob& blob, std::vector<unsigned short>& aligned);

}  // namespace service_tuples

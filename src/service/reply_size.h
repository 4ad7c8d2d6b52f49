#pragma once

#include <cstdint>

#include "tuplink/blob.h"

// Sizes of replies, checked against SCService::maxReplyBytes() before anything is allocated.
namespace reply_size {

// a x b, or UINT64_MAX when the product does not fit.
std::uint64_t product(std::uint64_t a, std::uint64_t b);

// Whether a reply of `bytes` bytes may be sent.
bool fits(std::uint64_t bytes);

// Makes `buffer` hold `values` 16-bit values (zero bytes). 1 when done; the middleware's "too
// large" status, leaving `buffer` empty, when the blob would exceed the reply limit; -1 when
// the memory cannot be had.
int sizeImageBuffer(tuplink::Blob& buffer, std::uint64_t values);

}  // namespace reply_size

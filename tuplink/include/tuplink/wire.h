#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "tuplink/export.h"
#include "tuplink/tuple.h"

namespace tuplink {

// The msgpack encoding of requests and replies (docs/protocol.md describes it for other
// languages). Decoding survives any input: it checks every length against the bytes that are
// there before it allocates, bounds nesting and element counts, and answers a status instead
// of a value for anything that is not a well-formed message.

inline constexpr unsigned PROTOCOL_VERSION = 1;

// What a request says besides its arguments.
struct RequestHead {
    std::uint64_t id = 0;  // chosen by the client, echoed in the reply
    std::string service;   // registered service name
    std::string instance;  // instance name, chosen by the clients
    std::string interface;
    std::string method;  // method name within the interface
};

struct Request : RequestHead {
    Tuple arguments;
};

struct Reply {
    std::uint64_t id = 0;
    int status = 0;
    Tuple results;
};

struct DecodeLimits {
    std::size_t max_tuple_depth = 32;     // tuples inside tuples (and tuple lists)
    std::size_t max_elements = 1u << 22;  // msgpack objects in one message
};

// Bytes that encode_request/encode_reply write, or SIZE_MAX when the value cannot be
// encoded (a string, blob, array or list longer than msgpack allows).
TUPLINK_EXPORT std::size_t encoded_size(const RequestHead& head, const Tuple& arguments);
TUPLINK_EXPORT std::size_t encoded_size(const Request& request);
TUPLINK_EXPORT std::size_t encoded_size(const Reply& reply);
// Writes the encoding into `out`. REQUIRES: `capacity` == encoded_size(...) != SIZE_MAX.
TUPLINK_EXPORT void encode_request(const RequestHead& head, const Tuple& arguments, std::byte* out,
                                   std::size_t capacity);
TUPLINK_EXPORT void encode_request(const Request& request, std::byte* out, std::size_t capacity);
TUPLINK_EXPORT void encode_reply(const Reply& reply, std::byte* out, std::size_t capacity);
// Convenience for tests and small messages: the encoding as a string of bytes ("" when it
// cannot be encoded).
TUPLINK_EXPORT std::string encode_to_string(const Request& request);
TUPLINK_EXPORT std::string encode_to_string(const Reply& reply);

// Decodes `size` bytes at `bytes`. Blobs in the message view those bytes through `keeper`
// (no copy) when `keeper` is not null, and are copied otherwise. Returns 0, or
// STATUS_MALFORMED or STATUS_UNSUPPORTED_VERSION; the request id is filled in whenever the
// message got that far, so that an error reply can name it.
TUPLINK_EXPORT int decode_request(std::byte* bytes, std::size_t size, std::shared_ptr<void> keeper,
                                  Request& request, const DecodeLimits& limits = {});
TUPLINK_EXPORT int decode_reply(std::byte* bytes, std::size_t size, std::shared_ptr<void> keeper,
                                Reply& reply, const DecodeLimits& limits = {});

}  // namespace tuplink

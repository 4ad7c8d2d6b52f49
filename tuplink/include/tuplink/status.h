#pragma once

#include "tuplink/export.h"

namespace tuplink {

// Statuses that the middleware itself answers in place of a method's status. They all lie in
// -1000399 ... -1000100, which no method of ours returns. A method's own statuses (1, -1,
// 0, -1000014, ...) pass through unchanged.
enum Status : int {
    // Answered by a host.
    STATUS_MALFORMED = -1000100,            // the request is not a well-formed request
    STATUS_UNSUPPORTED_VERSION = -1000101,  // the request speaks another protocol version
    STATUS_UNKNOWN_SERVICE = -1000102,      // no service registered under that name
    STATUS_UNKNOWN_INTERFACE = -1000103,    // no interface registered under that name
    STATUS_UNKNOWN_METHOD = -1000104,       // the interface has no method of that name
    STATUS_TOO_LARGE = -1000105,            // the reply would exceed the host's message limit
    STATUS_UNAVAILABLE = -1000106,          // the host is stopping, or the service or
                                            // interface object could not be made
    STATUS_METHOD_FAILED = -1000107,        // the method ended with an exception
    // Reported by a client; never on the wire.
    STATUS_TIMEOUT = -1000200,          // no reply within the time-out
    STATUS_UNREACHABLE = -1000201,      // no connection to the host within the time-out
    STATUS_REFUSED = -1000202,          // the host refused the client's CURVE key
    STATUS_CONNECTION_LOST = -1000203,  // the connection dropped while waiting for the reply
                                        // (also what a request over the host's limit causes)
    STATUS_BAD_REPLY = -1000204,        // the reply could not be decoded
    STATUS_CLIENT_ERROR = -1000205,     // not connected, bad endpoint or keys, request not
                                        // encodable
    // Reported by Host::start().
    STATUS_BIND_FAILED = -1000300,        // an endpoint could not be bound
    STATUS_INSECURE_ENDPOINT = -1000301,  // a non-local TCP endpoint without CURVE keys
    STATUS_NO_CURVE = -1000302,           // CURVE keys given, but libzmq lacks CURVE
    STATUS_BAD_KEY = -1000303,            // a CURVE key is not 40 characters of Z85
};

// A short English description of a status above; "method status" for any other value.
TUPLINK_EXPORT const char* status_text(int status);

}  // namespace tuplink

"""Statuses a host answers in place of a method's, and those a client reports itself."""

MALFORMED = -1000100
UNSUPPORTED_VERSION = -1000101
UNKNOWN_SERVICE = -1000102
UNKNOWN_INTERFACE = -1000103
UNKNOWN_METHOD = -1000104
TOO_LARGE = -1000105
UNAVAILABLE = -1000106
METHOD_FAILED = -1000107

TIMEOUT = -1000200
UNREACHABLE = -1000201
REFUSED = -1000202
CONNECTION_LOST = -1000203
BAD_REPLY = -1000204
CLIENT_ERROR = -1000205

_TEXTS = {
    MALFORMED: "malformed request",
    UNSUPPORTED_VERSION: "unsupported protocol version",
    UNKNOWN_SERVICE: "unknown service",
    UNKNOWN_INTERFACE: "unknown interface",
    UNKNOWN_METHOD: "unknown method",
    TOO_LARGE: "reply too large",
    UNAVAILABLE: "service unavailable",
    METHOD_FAILED: "method failed with an exception",
    TIMEOUT: "timed out waiting for the reply",
    UNREACHABLE: "host unreachable",
    REFUSED: "host refused the client key",
    CONNECTION_LOST: "connection lost",
    BAD_REPLY: "malformed reply",
    CLIENT_ERROR: "client error",
}


def status_text(status):
    """A short description of a status above; "method status" for any other value."""
    return _TEXTS.get(status, "method status")

#include "tuplink/status.h"

namespace tuplink {

const char* status_text(int status) {
    switch (status) {
        case STATUS_MALFORMED:
            return "malformed request";
        case STATUS_UNSUPPORTED_VERSION:
            return "unsupported protocol version";
        case STATUS_UNKNOWN_SERVICE:
            return "unknown service";
        case STATUS_UNKNOWN_INTERFACE:
            return "unknown interface";
        case STATUS_UNKNOWN_METHOD:
            return "unknown method";
        case STATUS_TOO_LARGE:
            return "reply too large";
        case STATUS_UNAVAILABLE:
            return "service unavailable";
        case STATUS_METHOD_FAILED:
            return "method failed with an exception";
        case STATUS_TIMEOUT:
            return "timed out waiting for the reply";
        case STATUS_UNREACHABLE:
            return "host unreachable";
        case STATUS_REFUSED:
            return "host refused the client key";
        case STATUS_CONNECTION_LOST:
            return "connection lost";
        case STATUS_BAD_REPLY:
            return "malformed reply";
        case STATUS_CLIENT_ERROR:
            return "client error";
        case STATUS_BIND_FAILED:
            return "cannot bind endpoint";
        case STATUS_INSECURE_ENDPOINT:
            return "non-local endpoint without CURVE keys";
        case STATUS_NO_CURVE:
            return "libzmq was built without CURVE";
        case STATUS_BAD_KEY:
            return "CURVE key is not 40 characters of Z85";
    }
    return "method status";
}

}  // namespace tuplink

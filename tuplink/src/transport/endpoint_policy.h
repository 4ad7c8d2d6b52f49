#pragma once

#include <string>

namespace tuplink {

// Whether `endpoint` is reachable from this machine only: ipc:// and inproc:// endpoints, and
// TCP on a loopback address (127.0.0.0/8, ::1, localhost).
bool is_local_endpoint(const std::string& endpoint);

// Decodes a 40-character Z85 CURVE key into its 32 bytes; false for anything else.
bool decode_curve_key(const std::string& z85, std::string& key);

}  // namespace tuplink

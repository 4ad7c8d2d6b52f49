#include "endpoint_policy.h"

#include <arpa/inet.h>
#include <zmq.h>

#include <cstdint>
#include <string_view>

namespace tuplink {

bool is_local_endpoint(const std::string& endpoint) {
    std::string_view text(endpoint);
    if (text.starts_with("ipc://") || text.starts_with("inproc://")) {
        return true;
    }
    if (!text.starts_with("tcp://")) {
        return false;
    }
    text.remove_prefix(6);
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view address = text.substr(0, colon);
    if (address == "localhost" || address == "[::1]") {
        return true;
    }
    in_addr ipv4{};
    const std::string numeric(address);
    return inet_pton(AF_INET, numeric.c_str(), &ipv4) == 1 && (ntohl(ipv4.s_addr) >> 24) == 127;
}

bool decode_curve_key(const std::string& z85, std::string& key) {
    if (z85.size() != 40) {
        return false;
    }
    std::uint8_t bytes[32];
    if (zmq_z85_decode(bytes, z85.c_str()) == nullptr) {
        return false;
    }
    key.assign(reinterpret_cast<const char*>(bytes), sizeof bytes);
    return true;
}

}  // namespace tuplink

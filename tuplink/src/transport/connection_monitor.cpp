#include "connection_monitor.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <cstring>

namespace tuplink {

namespace {

// "address:port" of a connected TCP socket; "local" for other kinds.
std::string peerOf(int descriptor) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return "unknown peer";
    }
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text);
        return std::string(text) + ":" + std::to_string(ntohs(ipv4->sin_port));
    }
    if (address.ss_family == AF_INET6) {
        const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &ipv6->sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(ipv6->sin6_port));
    }
    return "local peer";
}

}  // namespace

ConnectionMonitor::ConnectionMonitor(zmq::context_t& context, zmq::socket_t& socket, Report report)
    : watched_(socket), events_(context, zmq::socket_type::pair), report_(std::move(report)) {
    static std::atomic<unsigned long> monitors{0};
    const std::string endpoint = "inproc://tuplink-host-monitor-" + std::to_string(++monitors);
    if (zmq_socket_monitor(socket.handle(), endpoint.c_str(),
                           ZMQ_EVENT_ACCEPTED | ZMQ_EVENT_DISCONNECTED) != 0) {
        throw zmq::error_t();
    }
    events_.set(zmq::sockopt::linger, 0);
    events_.connect(endpoint);
}

ConnectionMonitor::~ConnectionMonitor() {
    zmq_socket_monitor(watched_.handle(), nullptr, 0);
}

void ConnectionMonitor::readEvents() {
    zmq::message_t header;
    while (events_.recv(header, zmq::recv_flags::dontwait)) {
        zmq::message_t address;
        if (header.more()) {
            (void)events_.recv(address, zmq::recv_flags::none);
        }
        if (header.size() < 6) {
            continue;
        }
        std::uint16_t event = 0;
        std::int32_t descriptor = 0;
        std::memcpy(&event, header.data(), sizeof event);
        std::memcpy(&descriptor, header.data<char>() + 2, sizeof descriptor);
        if (event == ZMQ_EVENT_ACCEPTED) {
            const std::string peer = peerOf(descriptor);
            peers_[descriptor] = peer;
            report_("connection from " + peer + " on " + address.to_string());
        } else if (event == ZMQ_EVENT_DISCONNECTED) {
            auto known = peers_.find(descriptor);
            const std::string peer = known != peers_.end() ? known->second : "unknown peer";
            if (known != peers_.end()) {
                peers_.erase(known);
            }
            report_("disconnected: " + peer);
        }
    }
}

}  // namespace tuplink

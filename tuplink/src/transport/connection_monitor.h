#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <zmq.hpp>

namespace tuplink {

// Watches a socket's connections through a ZeroMQ socket monitor and turns each accepted or
// closed connection into one line of text naming the peer. Belongs to the thread that polls
// it.
class ConnectionMonitor {
  public:
    using Report = std::function<void(const std::string&)>;

    // Monitors `socket` (before it binds). REQUIRES: `report` is not null.
    ConnectionMonitor(zmq::context_t& context, zmq::socket_t& socket, Report report);
    ~ConnectionMonitor();
    ConnectionMonitor(const ConnectionMonitor&) = delete;
    ConnectionMonitor& operator=(const ConnectionMonitor&) = delete;

    // The socket to poll for ZMQ_POLLIN.
    void* handle() { return events_.handle(); }
    // Reports every event that has arrived.
    void readEvents();

  private:
    zmq::socket_t& watched_;            // the monitored socket
    zmq::socket_t events_;              // PAIR receiving the monitor's events
    Report report_;                     // where the lines go
    std::map<int, std::string> peers_;  // open connections: descriptor -> peer address
};

}  // namespace tuplink

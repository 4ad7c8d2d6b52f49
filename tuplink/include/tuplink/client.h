#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "tuplink/export.h"
#include "tuplink/tuple.h"

namespace tuplink {

struct ClientOptions {
    std::chrono::milliseconds timeout{10000};  // per call, sending and waiting included
    std::int64_t max_reply_size = -1;          // larger replies drop the connection; -1: none
    // CURVE: the host's public key and this client's key pair (40 characters of Z85 each);
    // all empty for a host without CURVE.
    std::string curve_server_key;
    std::string curve_public_key;
    std::string curve_secret_key;
};

// Calls methods of a host over one connection. One call at a time: a client belongs to one
// thread at a time (use one client per thread). No exception leaves a client.
class TUPLINK_EXPORT Client {
  public:
    explicit Client(ClientOptions options = {});
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Connects to `endpoint` ("tcp://host:port" or "ipc://path"). The connection is made in
    // the background; calls wait for it within their time-out. Returns 0, or
    // STATUS_CLIENT_ERROR for a malformed endpoint or keys (or when already connected).
    int connect(const std::string& endpoint);

    // Calls `method` of `interface` on the instance `instance` of `service` with `arguments`,
    // and waits for the reply. Returns the method's status with its results in `results`
    // (replaced), or a status of status.h: the host's refusals (STATUS_MALFORMED,
    // STATUS_UNKNOWN_METHOD, ...) or the client's own (STATUS_UNREACHABLE when no connection
    // came up in time, STATUS_REFUSED for a refused CURVE key, STATUS_TIMEOUT,
    // STATUS_CONNECTION_LOST, STATUS_BAD_REPLY, STATUS_CLIENT_ERROR); `results` is then
    // empty. A reply that arrives after its call timed out is discarded.
    int call(const char* service, const char* instance, const char* interface, const char* method,
             const Tuple& arguments, Tuple& results);

    void set_timeout(std::chrono::milliseconds timeout);

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;  // the socket and its connection monitor
};

}  // namespace tuplink

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tuplink/export.h"

namespace tuplink {

struct HostOptions {
    // Where to listen: "tcp://address:port" ("tcp://127.0.0.1:*" picks a free port) or
    // "ipc://path".
    std::vector<std::string> endpoints{"tcp://127.0.0.1:7723"};
    unsigned workers = 0;  // threads running calls; 0: one per hardware thread
    // Largest request or reply in bytes. ZeroMQ drops a longer request (and the client's
    // connection) before allocating it; a longer reply is answered with STATUS_TOO_LARGE.
    std::int64_t max_message_size = std::int64_t{1} << 30;
    int high_water_mark = 1000;                    // messages queued per client, each way
    std::size_t max_queued_requests = 1024;        // received, not yet running; beyond it the host
                                                   // stops reading and ZeroMQ queues (then drops)
    std::chrono::milliseconds stop_timeout{5000};  // how long stop() waits for running calls
    // CURVE: the server's secret key and the public keys of the clients it serves, each 40
    // characters of Z85. With a secret key every endpoint requires CURVE.
    std::string curve_secret_key;
    std::vector<std::string> curve_client_keys;
    // Binding a TCP address other than loopback needs CURVE keys unless this is set, which
    // logs a warning.
    bool allow_insecure = false;
    // Receives warnings; null writes them to the standard error.
    std::function<void(const std::string&)> log;
    // Receives one line per connection event: a client connected or disconnected, or its
    // CURVE key was refused (with its address). Called on the host's I/O thread: it must
    // return quickly. Null: events are not reported.
    std::function<void(const std::string&)> on_connection_event;
};

// Counters since start(), for monitoring and tests.
struct HostStats {
    std::uint64_t requests = 0;         // messages received
    std::uint64_t malformed = 0;        // answered with STATUS_MALFORMED
    std::uint64_t replies_sent = 0;     // handed to ZeroMQ
    std::uint64_t replies_dropped = 0;  // client gone or not reading (never waited for)
    std::uint64_t calls_running = 0;    // calls in progress at this moment
};

// Serves the registered services (see registry.h) to clients over one ZeroMQ ROUTER socket.
//
// An I/O thread receives requests and sends replies, never blocking on a client; a pool of
// worker threads decodes requests and runs the calls, so slow calls do not hold up others.
// Service and interface objects are made on the first call that names them, one per
// (service, instance) and per interface of it, and shared by every client. No exception
// leaves a host: a throwing method answers STATUS_METHOD_FAILED. While a method runs,
// current_call() (call_context.h) tells who called it.
class TUPLINK_EXPORT Host {
  public:
    explicit Host(HostOptions options = {});
    // Stops the host if it runs.
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Binds the endpoints and starts serving. Returns 0, or STATUS_BIND_FAILED,
    // STATUS_INSECURE_ENDPOINT, STATUS_NO_CURVE, STATUS_BAD_KEY, STATUS_UNAVAILABLE (already
    // started, or no thread could be made); on failure nothing is bound.
    int start();
    // Stops taking requests (queued ones are answered STATUS_UNAVAILABLE), waits up to
    // stop_timeout for running calls and sends their replies, closes the socket, then
    // releases the interface objects and after them the service objects, newest first. A
    // call still running after the time-out keeps its own references: its objects are
    // destroyed when it ends, and its reply is dropped. Returns false only in that case.
    bool stop();

    bool running() const;
    // The endpoints as bound, with wildcard ports resolved; empty before start().
    std::vector<std::string> endpoints() const;
    HostStats stats() const;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;  // the sockets, threads and instance table
};

// Whether this libzmq supports CURVE security.
TUPLINK_EXPORT bool curve_available();

struct CurveKeyPair {
    std::string public_key;  // 40 characters of Z85
    std::string secret_key;  // 40 characters of Z85
};
// A new key pair; both keys empty when CURVE is not available.
TUPLINK_EXPORT CurveKeyPair make_curve_key_pair();

}  // namespace tuplink

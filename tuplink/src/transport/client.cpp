#include "tuplink/client.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>
#include <zmq.hpp>

#include "endpoint_policy.h"
#include "tuplink/status.h"
#include "tuplink/wire.h"

namespace tuplink {

namespace {

constexpr int kMonitoredEvents =
    ZMQ_EVENT_HANDSHAKE_SUCCEEDED | ZMQ_EVENT_HANDSHAKE_FAILED_AUTH | ZMQ_EVENT_DISCONNECTED;

// One ZeroMQ context for all clients of the process: each context runs its own I/O thread.
// It lives while some client does.
std::shared_ptr<zmq::context_t> sharedContext() {
    static std::mutex lock;
    static std::weak_ptr<zmq::context_t> current;
    std::lock_guard guard(lock);
    std::shared_ptr<zmq::context_t> context = current.lock();
    if (!context) {
        context = std::make_shared<zmq::context_t>();
        current = context;
    }
    return context;
}

using Clock = std::chrono::steady_clock;

long millisecondsUntil(Clock::time_point deadline) {
    return std::max<long>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
}

}  // namespace

class Client::Impl {
  public:
    explicit Impl(ClientOptions options) : options_(std::move(options)) {}
    ~Impl() {
        monitor_.reset();
        socket_.reset();
    }

    int connect(const std::string& endpoint);
    int call(RequestHead& head, const Tuple& arguments, Tuple& results);
    void setTimeout(std::chrono::milliseconds timeout) { options_.timeout = timeout; }

  private:
    int configureSocket();
    int send(zmq::message_t& request, Clock::time_point deadline);
    int receive(std::uint64_t id, Tuple& results, Clock::time_point deadline);
    void readEvents();
    void waitFor(short socketEvents, Clock::time_point deadline);

    ClientOptions options_;
    std::shared_ptr<zmq::context_t> context_;
    std::unique_ptr<zmq::socket_t> socket_;   // DEALER to the host
    std::unique_ptr<zmq::socket_t> monitor_;  // the socket's connection events
    std::uint64_t lastId_ = 0;                // id of the latest request
    bool connected_ = false;                  // a connection's handshake has succeeded
    bool refused_ = false;                    // the host refused our CURVE key
    bool lost_ = false;                       // the connection dropped since the last send
};

int Client::Impl::configureSocket() {
    socket_->set(zmq::sockopt::linger, 0);
    // Not ZMQ_IMMEDIATE: it would discard a reply that arrived just before a disconnect.
    // send() instead waits for a connection, so no request is queued for none.
    socket_->set(zmq::sockopt::maxmsgsize, options_.max_reply_size);
    if (options_.curve_server_key.empty()) {
        return 0;
    }
    std::string key;
    if (!decode_curve_key(options_.curve_server_key, key) ||
        !decode_curve_key(options_.curve_public_key, key) ||
        !decode_curve_key(options_.curve_secret_key, key) || zmq_has("curve") == 0) {
        return STATUS_CLIENT_ERROR;
    }
    socket_->set(zmq::sockopt::curve_serverkey, options_.curve_server_key);
    socket_->set(zmq::sockopt::curve_publickey, options_.curve_public_key);
    socket_->set(zmq::sockopt::curve_secretkey, options_.curve_secret_key);
    return 0;
}

int Client::Impl::connect(const std::string& endpoint) {
    static std::atomic<unsigned long> monitors{0};
    if (socket_) {
        return STATUS_CLIENT_ERROR;
    }
    try {
        context_ = sharedContext();
        socket_ = std::make_unique<zmq::socket_t>(*context_, zmq::socket_type::dealer);
        if (configureSocket() != 0) {
            socket_.reset();
            return STATUS_CLIENT_ERROR;
        }
        const std::string monitorEndpoint =
            "inproc://tuplink-client-monitor-" + std::to_string(++monitors);
        if (zmq_socket_monitor(socket_->handle(), monitorEndpoint.c_str(), kMonitoredEvents) != 0) {
            socket_.reset();
            return STATUS_CLIENT_ERROR;
        }
        monitor_ = std::make_unique<zmq::socket_t>(*context_, zmq::socket_type::pair);
        monitor_->set(zmq::sockopt::linger, 0);
        monitor_->connect(monitorEndpoint);
        socket_->connect(endpoint);
        return 0;
    } catch (const zmq::error_t&) {
        monitor_.reset();
        socket_.reset();
        return STATUS_CLIENT_ERROR;
    }
}

void Client::Impl::readEvents() {
    zmq::message_t header;
    zmq::message_t address;
    while (monitor_->recv(header, zmq::recv_flags::dontwait)) {
        if (header.more()) {
            (void)monitor_->recv(address, zmq::recv_flags::none);
        }
        std::uint16_t event = 0;
        if (header.size() >= sizeof event) {
            std::memcpy(&event, header.data(), sizeof event);
        }
        if (event == ZMQ_EVENT_HANDSHAKE_SUCCEEDED) {
            connected_ = true;
            refused_ = false;
        } else if (event == ZMQ_EVENT_HANDSHAKE_FAILED_AUTH) {
            refused_ = true;
        } else if (event == ZMQ_EVENT_DISCONNECTED) {
            connected_ = false;
            lost_ = true;
        }
    }
}

void Client::Impl::waitFor(short socketEvents, Clock::time_point deadline) {
    zmq_pollitem_t items[2] = {{socket_->handle(), 0, socketEvents, 0},
                               {monitor_->handle(), 0, ZMQ_POLLIN, 0}};
    zmq_poll(items, 2, millisecondsUntil(deadline));
}

int Client::Impl::send(zmq::message_t& request, Clock::time_point deadline) {
    for (;;) {
        readEvents();
        if (refused_) {
            return STATUS_REFUSED;
        }
        lost_ = false;
        if (connected_ && socket_->send(request, zmq::send_flags::dontwait)) {
            return 0;
        }
        if (Clock::now() >= deadline) {
            return connected_ ? STATUS_TIMEOUT : STATUS_UNREACHABLE;
        }
        waitFor(connected_ ? ZMQ_POLLOUT : 0, deadline);
    }
}

int Client::Impl::receive(std::uint64_t id, Tuple& results, Clock::time_point deadline) {
    // A reply can arrive just before the connection closes and become readable just after
    // the close is reported: after a drop, listen a little longer before giving up.
    constexpr auto kGrace = std::chrono::milliseconds(200);
    std::optional<Clock::time_point> giveUp;
    for (;;) {
        auto message = std::make_shared<zmq::message_t>();
        if (socket_->recv(*message, zmq::recv_flags::dontwait)) {
            Reply reply;
            if (decode_reply(message->data<std::byte>(), message->size(), message, reply) != 0) {
                return STATUS_BAD_REPLY;
            }
            if (reply.id != id) {
                continue;  // the late reply of an earlier call
            }
            results.splice(reply.results);
            return reply.status;
        }
        readEvents();
        if (lost_ && !giveUp) {
            giveUp = std::min(deadline, Clock::now() + kGrace);
        }
        const Clock::time_point until = giveUp ? *giveUp : deadline;
        if (Clock::now() >= until) {
            return giveUp ? STATUS_CONNECTION_LOST : STATUS_TIMEOUT;
        }
        waitFor(ZMQ_POLLIN, until);
    }
}

int Client::Impl::call(RequestHead& head, const Tuple& arguments, Tuple& results) {
    results.clear();
    head.id = ++lastId_;
    if (!socket_) {
        return STATUS_CLIENT_ERROR;
    }
    const Clock::time_point deadline = Clock::now() + options_.timeout;
    try {
        const std::size_t size = encoded_size(head, arguments);
        if (size == SIZE_MAX) {
            return STATUS_CLIENT_ERROR;
        }
        zmq::message_t request(size);
        encode_request(head, arguments, request.data<std::byte>(), size);
        if (int status = send(request, deadline); status != 0) {
            return status;
        }
        return receive(head.id, results, deadline);
    } catch (const zmq::error_t&) {
        return STATUS_CLIENT_ERROR;
    } catch (const std::bad_alloc&) {
        return STATUS_CLIENT_ERROR;
    }
}

Client::Client(ClientOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Client::~Client() = default;

int Client::connect(const std::string& endpoint) {
    return impl_->connect(endpoint);
}

int Client::call(const char* service, const char* instance, const char* interface,
                 const char* method, const Tuple& arguments, Tuple& results) {
    RequestHead head;
    head.service = service;
    head.instance = instance;
    head.interface = interface;
    head.method = method;
    return impl_->call(head, arguments, results);
}

void Client::set_timeout(std::chrono::milliseconds timeout) {
    impl_->setTimeout(timeout);
}

}  // namespace tuplink

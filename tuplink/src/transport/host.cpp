#include "tuplink/host.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <zmq.hpp>

#include "connection_monitor.h"
#include "endpoint_policy.h"
#include "instance_table.h"
#include "tuplink/call_context.h"
#include "tuplink/registry.h"
#include "tuplink/status.h"
#include "tuplink/wire.h"

namespace tuplink {

namespace {

constexpr std::size_t kMaxEnvelopeFrames = 8;  // routing frames kept for a reply
constexpr std::size_t kReceiveBatch = 64;      // requests read per turn of the loop
constexpr const char* kZapEndpoint = "inproc://zeromq.zap.01";

// A message as it travels between the I/O thread and the workers: the routing frames that
// lead the reply back to its client, then the msgpack payload.
struct Envelope {
    std::vector<zmq::message_t> route;
    zmq::message_t payload;
};

// What the workers share with the I/O thread. Held by shared pointer, so that a worker still
// running a call after stop() gave up on it can finish safely.
struct Shared {
    explicit Shared(std::int64_t maxMessageSize) : maxMessageSize(maxMessageSize) {}
    ~Shared() {
        if (wakeFd >= 0) {
            ::close(wakeFd);
        }
    }

    void wake() {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(wakeFd, &one, sizeof one);
    }

    const std::int64_t maxMessageSize;
    int wakeFd = -1;  // eventfd that wakes the I/O thread for replies and stop

    std::mutex lock;                     // guards the fields up to exitedWorkers
    std::condition_variable work;        // a job arrived, or closing
    std::condition_variable workerLeft;  // a worker thread returned
    std::deque<Envelope> jobs;           // requests not yet taken by a worker
    std::deque<Envelope> replies;        // replies not yet sent
    std::size_t running = 0;             // calls in progress
    bool closing = false;                // workers leave once idle; replies are dropped
    std::vector<char> exitedWorkers;     // per worker: its thread has returned

    InstanceTable instances;  // service and interface objects by instance

    std::atomic<std::uint64_t> requests{0};
    std::atomic<std::uint64_t> malformed{0};
    std::atomic<std::uint64_t> repliesSent{0};
    std::atomic<std::uint64_t> repliesDropped{0};
};

// Encodes the reply into a message, or the STATUS_TOO_LARGE reply when it would not fit.
zmq::message_t encodeReply(Reply& reply, std::int64_t limit) {
    std::size_t size = encoded_size(reply);
    if (size == SIZE_MAX || size > static_cast<std::uint64_t>(limit)) {
        reply.status = STATUS_TOO_LARGE;
        reply.results.clear();
        size = encoded_size(reply);
    }
    zmq::message_t message(size);
    encode_reply(reply, message.data<std::byte>(), size);
    return message;
}

// Who sent the request: its routing id, and the address and CURVE user id that ZeroMQ
// attached to the message.
CallContext callerOf(Envelope& job) {
    static constexpr char kHex[] = "0123456789abcdef";
    CallContext context;
    const zmq::message_t& identity = job.route.front();
    for (std::size_t index = 0; index < identity.size(); ++index) {
        const auto byte = static_cast<unsigned char>(identity.data<char>()[index]);
        context.peer_id += kHex[byte >> 4];
        context.peer_id += kHex[byte & 15];
    }
    if (const char* address = zmq_msg_gets(job.payload.handle(), "Peer-Address")) {
        context.peer_address = address;
    }
    if (const char* user = zmq_msg_gets(job.payload.handle(), "User-Id")) {
        context.user_id = user;
    }
    return context;
}

// Finds the method and its interface object and runs the call. Sets `oneway` for a method
// that wants no reply.
int dispatch(Shared& shared, const CallContext& caller, Request& request, Tuple& results,
             bool& oneway) {
    ServiceFactory* serviceFactory = Registry::service_factory(request.service);
    if (serviceFactory == nullptr) {
        return STATUS_UNKNOWN_SERVICE;
    }
    InterfaceFactory* interfaceFactory = Registry::interface_factory(request.interface);
    if (interfaceFactory == nullptr) {
        return STATUS_UNKNOWN_INTERFACE;
    }
    Service::CallMethod* method = Registry::method(request.interface, request.method);
    if (method == nullptr) {
        return STATUS_UNKNOWN_METHOD;
    }
    AutoRef<Interface> target =
        shared.instances.interface(*serviceFactory, request.instance, *interfaceFactory);
    if (!target) {
        return STATUS_UNAVAILABLE;
    }
    oneway = method->is_oneway();
    try {
        CallContextScope scope(caller);
        return method->invoke(target.get(), request.arguments, results);
    } catch (...) {
        results.clear();
        return STATUS_METHOD_FAILED;
    }
}

// Decodes and runs one request; the reply's payload is empty for a one-way call.
Envelope serve(Shared& shared, Envelope job) {
    const CallContext caller = callerOf(job);
    auto message = std::make_shared<zmq::message_t>(std::move(job.payload));
    Envelope out{std::move(job.route), zmq::message_t()};
    Request request;
    Reply reply;
    bool oneway = false;
    reply.status = decode_request(message->data<std::byte>(), message->size(), message, request);
    reply.id = request.id;
    if (reply.status == STATUS_MALFORMED) {
        shared.malformed.fetch_add(1, std::memory_order_relaxed);
    }
    if (reply.status == 0) {
        reply.status = dispatch(shared, caller, request, reply.results, oneway);
    }
    if (!oneway) {
        out.payload = encodeReply(reply, shared.maxMessageSize);
    }
    return out;
}

void workerLoop(std::shared_ptr<Shared> shared, std::size_t index) {
    for (;;) {
        Envelope job;
        {
            std::unique_lock guard(shared->lock);
            shared->work.wait(guard, [&] { return shared->closing || !shared->jobs.empty(); });
            if (shared->jobs.empty()) {
                shared->exitedWorkers[index] = 1;
                shared->workerLeft.notify_all();
                return;
            }
            job = std::move(shared->jobs.front());
            shared->jobs.pop_front();
            ++shared->running;
        }
        Envelope reply;
        try {
            reply = serve(*shared, std::move(job));
        } catch (...) {  // std::bad_alloc while decoding or encoding: no reply
        }
        {
            std::lock_guard guard(shared->lock);
            --shared->running;
            if (reply.payload.size() != 0 && !shared->closing) {
                shared->replies.push_back(std::move(reply));
            }
        }
        shared->wake();
    }
}

}  // namespace

class Host::Impl {
  public:
    explicit Impl(HostOptions options) : options_(std::move(options)) {
        if (!options_.log) {
            options_.log = [](const std::string& line) { std::cerr << line << '\n'; };
        }
    }

    int start();
    bool stop();

    bool running() const { return ioThread_.joinable(); }
    std::vector<std::string> endpoints() const { return bound_; }
    HostStats stats() const {
        if (!shared_) {
            return {};
        }
        HostStats stats{shared_->requests.load(), shared_->malformed.load(),
                        shared_->repliesSent.load(), shared_->repliesDropped.load()};
        std::lock_guard guard(shared_->lock);
        stats.calls_running = shared_->running;
        return stats;
    }

  private:
    int checkSecurity();
    int openSockets();
    void closeSockets();
    bool startThreads();
    void ioLoop();
    void receiveRequests();
    void sendReplies();
    void refuseQueued();
    void answerZap();
    bool waitForCalls(std::chrono::steady_clock::time_point deadline);
    void leaveWorkers();

    HostOptions options_;
    std::set<std::string> clientKeys_;  // allowed CURVE client keys, 32 bytes each
    std::unique_ptr<zmq::context_t> context_;
    std::unique_ptr<zmq::socket_t> router_;       // clients' requests and our replies
    std::unique_ptr<zmq::socket_t> zap_;          // CURVE authentication requests, when secured
    std::unique_ptr<ConnectionMonitor> monitor_;  // connection events, when reported
    std::vector<std::string> bound_;              // endpoints as bound
    std::shared_ptr<Shared> shared_;
    std::vector<std::thread> workers_;
    std::thread ioThread_;
    std::atomic<bool> stopRequested_{false};
};

int Host::Impl::checkSecurity() {
    const bool secured = !options_.curve_secret_key.empty();
    if (secured) {
        if (!curve_available()) {
            options_.log("tuplink host: CURVE keys given, but libzmq was built without CURVE");
            return STATUS_NO_CURVE;
        }
        std::string key;
        if (!decode_curve_key(options_.curve_secret_key, key)) {
            return STATUS_BAD_KEY;
        }
        for (const std::string& client : options_.curve_client_keys) {
            if (!decode_curve_key(client, key)) {
                return STATUS_BAD_KEY;
            }
            clientKeys_.insert(key);
        }
    }
    for (const std::string& endpoint : options_.endpoints) {
        if (secured || is_local_endpoint(endpoint)) {
            continue;
        }
        if (!options_.allow_insecure) {
            options_.log("tuplink host: refusing to listen on " + endpoint +
                         " without CURVE keys (pass the insecure flag to allow it)");
            return STATUS_INSECURE_ENDPOINT;
        }
        options_.log("tuplink host: WARNING: listening on " + endpoint +
                     " without authentication or encryption");
    }
    return 0;
}

int Host::Impl::openSockets() {
    try {
        context_ = std::make_unique<zmq::context_t>();
        if (!options_.curve_secret_key.empty()) {
            zap_ = std::make_unique<zmq::socket_t>(*context_, zmq::socket_type::rep);
            zap_->set(zmq::sockopt::linger, 0);
            zap_->bind(kZapEndpoint);
        }
        router_ = std::make_unique<zmq::socket_t>(*context_, zmq::socket_type::router);
        router_->set(zmq::sockopt::linger, 0);
        router_->set(zmq::sockopt::router_mandatory, 1);
        router_->set(zmq::sockopt::maxmsgsize, options_.max_message_size);
        router_->set(zmq::sockopt::sndhwm, options_.high_water_mark);
        router_->set(zmq::sockopt::rcvhwm, options_.high_water_mark);
        if (options_.on_connection_event) {
            monitor_ = std::make_unique<ConnectionMonitor>(*context_, *router_,
                                                           options_.on_connection_event);
        }
        if (zap_) {
            router_->set(zmq::sockopt::curve_server, 1);
            router_->set(zmq::sockopt::curve_secretkey, options_.curve_secret_key);
            router_->set(zmq::sockopt::zap_domain, "tuplink");
        }
    } catch (const zmq::error_t& error) {
        options_.log(std::string("tuplink host: cannot open its sockets: ") + error.what());
        closeSockets();
        return STATUS_BIND_FAILED;
    }
    for (const std::string& endpoint : options_.endpoints) {
        try {
            router_->bind(endpoint);
            bound_.push_back(router_->get(zmq::sockopt::last_endpoint));
        } catch (const zmq::error_t& error) {
            options_.log("tuplink host: cannot bind " + endpoint + ": " + error.what());
            closeSockets();
            return STATUS_BIND_FAILED;
        }
    }
    return 0;
}

void Host::Impl::closeSockets() {
    monitor_.reset();
    router_.reset();
    zap_.reset();
    context_.reset();
    bound_.clear();
}

bool Host::Impl::startThreads() {
    shared_ = std::make_shared<Shared>(options_.max_message_size);
    shared_->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (shared_->wakeFd < 0) {
        return false;
    }
    for (ServiceFactory* factory : Registry::service_factories()) {
        if (factory->create_at_start()) {
            shared_->instances.service(*factory, "default");
        }
    }
    const unsigned count = options_.workers != 0
                               ? options_.workers
                               : std::max(1u, std::thread::hardware_concurrency());
    shared_->exitedWorkers.assign(count, 0);
    try {
        for (unsigned index = 0; index < count; ++index) {
            workers_.emplace_back(workerLoop, shared_, index);
        }
        ioThread_ = std::thread([this] { ioLoop(); });
    } catch (const std::system_error&) {
        shared_->exitedWorkers.resize(workers_.size());
        leaveWorkers();
        return false;
    }
    return true;
}

int Host::Impl::start() {
    if (running()) {
        return STATUS_UNAVAILABLE;
    }
    stopRequested_ = false;
    clientKeys_.clear();
    if (int status = checkSecurity(); status != 0) {
        return status;
    }
    if (int status = openSockets(); status != 0) {
        return status;
    }
    if (!startThreads()) {
        closeSockets();
        shared_->instances.release_all();
        return STATUS_UNAVAILABLE;
    }
    return 0;
}

void Host::Impl::ioLoop() {
    // Requests and replies first, then the sockets that exist: monitor events, ZAP requests.
    std::vector<zmq_pollitem_t> items{{router_->handle(), 0, ZMQ_POLLIN, 0},
                                      {nullptr, shared_->wakeFd, ZMQ_POLLIN, 0}};
    const std::size_t monitorItem = items.size();
    if (monitor_) {
        items.push_back({monitor_->handle(), 0, ZMQ_POLLIN, 0});
    }
    const std::size_t zapItem = items.size();
    if (zap_) {
        items.push_back({zap_->handle(), 0, ZMQ_POLLIN, 0});
    }
    bool stopping = false;
    std::chrono::steady_clock::time_point deadline;
    for (;;) {
        bool acceptRequests = !stopping;
        if (acceptRequests) {
            std::lock_guard guard(shared_->lock);
            acceptRequests = shared_->jobs.size() < options_.max_queued_requests;
        }
        items[0].events = acceptRequests ? ZMQ_POLLIN : 0;
        long timeout = -1;
        if (stopping) {
            timeout = std::max<long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                            deadline - std::chrono::steady_clock::now())
                                            .count());
        }
        if (zmq_poll(items.data(), static_cast<int>(items.size()), timeout) < 0 &&
            zmq_errno() != EINTR) {
            break;
        }
        if (items[1].revents & ZMQ_POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] ssize_t got = ::read(shared_->wakeFd, &count, sizeof count);
        }
        sendReplies();
        if (items[0].revents & ZMQ_POLLIN) {
            receiveRequests();
        }
        if (monitor_ && (items[monitorItem].revents & ZMQ_POLLIN)) {
            monitor_->readEvents();
        }
        if (zap_ && (items[zapItem].revents & ZMQ_POLLIN)) {
            answerZap();
        }
        if (stopRequested_.load() && !stopping) {
            stopping = true;
            deadline = std::chrono::steady_clock::now() + options_.stop_timeout;
            refuseQueued();
        }
        if (stopping) {
            std::lock_guard guard(shared_->lock);
            if ((shared_->running == 0 && shared_->replies.empty()) ||
                std::chrono::steady_clock::now() >= deadline) {
                break;
            }
        }
    }
    // The sockets belong to this thread: close them here. Replies already sent get a bounded
    // time to leave; closing the context waits at most that long for them.
    try {
        router_->set(zmq::sockopt::linger,
                     static_cast<int>(std::min<long long>(1000, options_.stop_timeout.count())));
    } catch (const zmq::error_t&) {
    }
    monitor_.reset();
    router_.reset();
    zap_.reset();
}

void Host::Impl::receiveRequests() {
    for (std::size_t received = 0; received < kReceiveBatch; ++received) {
        Envelope job;
        zmq::message_t frame;
        try {
            if (!router_->recv(frame, zmq::recv_flags::dontwait)) {
                return;
            }
            bool more = frame.more();
            job.payload = std::move(frame);
            while (more) {
                zmq::message_t next;
                (void)router_->recv(next, zmq::recv_flags::none);  // parts arrive together
                more = next.more();
                job.route.push_back(std::move(job.payload));
                job.payload = std::move(next);
            }
        } catch (const zmq::error_t&) {
            return;
        }
        shared_->requests.fetch_add(1, std::memory_order_relaxed);
        if (job.route.empty() || job.route.size() > kMaxEnvelopeFrames) {
            continue;  // not from a client that can take a reply
        }
        {
            std::lock_guard guard(shared_->lock);
            shared_->jobs.push_back(std::move(job));
        }
        shared_->work.notify_one();
    }
}

void Host::Impl::sendReplies() {
    std::deque<Envelope> ready;
    {
        std::lock_guard guard(shared_->lock);
        ready.swap(shared_->replies);
    }
    for (Envelope& reply : ready) {
        bool sent = false;
        try {
            for (zmq::message_t& frame : reply.route) {
                if (!router_->send(frame, zmq::send_flags::dontwait | zmq::send_flags::sndmore)) {
                    break;
                }
            }
            sent = router_->send(reply.payload, zmq::send_flags::dontwait).has_value();
        } catch (const zmq::error_t&) {  // EHOSTUNREACH: the client has gone
        }
        (sent ? shared_->repliesSent : shared_->repliesDropped)
            .fetch_add(1, std::memory_order_relaxed);
    }
}

void Host::Impl::refuseQueued() {
    std::deque<Envelope> queued;
    {
        std::lock_guard guard(shared_->lock);
        queued.swap(shared_->jobs);
    }
    for (Envelope& job : queued) {
        Request request;
        Reply reply;
        decode_request(job.payload.data<std::byte>(), job.payload.size(), nullptr, request);
        reply.id = request.id;
        reply.status = STATUS_UNAVAILABLE;
        Envelope refusal{std::move(job.route), encodeReply(reply, options_.max_message_size)};
        std::lock_guard guard(shared_->lock);
        shared_->replies.push_back(std::move(refusal));
    }
    sendReplies();
}

void Host::Impl::answerZap() {
    std::vector<zmq::message_t> request;
    try {
        zmq::message_t frame;
        do {
            if (!zap_->recv(frame, zmq::recv_flags::dontwait)) {
                return;
            }
            request.push_back(std::move(frame));
            frame = zmq::message_t();
        } while (request.back().more());
        // version, request id, domain, address, identity, mechanism, credentials...
        const bool allowed = request.size() >= 7 && request[5].to_string_view() == "CURVE" &&
                             clientKeys_.count(request[6].to_string()) != 0;
        const std::string requestId = request.size() >= 2 ? request[1].to_string() : "";
        const std::string status = allowed ? "200" : "400";
        const std::string text = allowed ? "OK" : "client key not allowed";
        std::string user;  // the client key in Z85, which calls then see as their user id
        if (allowed) {
            char z85[41] = {};
            zmq_z85_encode(z85, request[6].data<std::uint8_t>(), 32);
            user = z85;
        } else if (options_.on_connection_event) {
            const std::string address = request.size() >= 4 ? request[3].to_string() : "";
            options_.on_connection_event("CURVE key refused for " + address);
        }
        zap_->send(zmq::buffer(std::string_view("1.0")), zmq::send_flags::sndmore);
        zap_->send(zmq::buffer(requestId), zmq::send_flags::sndmore);
        zap_->send(zmq::buffer(status), zmq::send_flags::sndmore);
        zap_->send(zmq::buffer(text), zmq::send_flags::sndmore);
        zap_->send(zmq::buffer(user), zmq::send_flags::sndmore);
        zap_->send(zmq::buffer(std::string_view("")), zmq::send_flags::none);
    } catch (const zmq::error_t&) {
    }
}

void Host::Impl::leaveWorkers() {
    {
        std::lock_guard guard(shared_->lock);
        shared_->closing = true;
    }
    shared_->work.notify_all();
    // Idle workers leave at once; those still running a call are left to finish it alone.
    std::unique_lock guard(shared_->lock);
    shared_->workerLeft.wait(guard, [&] {
        std::size_t exited = 0;
        for (char flag : shared_->exitedWorkers) {
            exited += flag;
        }
        return exited + shared_->running >= workers_.size();
    });
    for (std::size_t index = 0; index < workers_.size(); ++index) {
        if (shared_->exitedWorkers[index]) {
            workers_[index].join();
        } else {
            workers_[index].detach();
        }
    }
    workers_.clear();
}

bool Host::Impl::stop() {
    if (!running()) {
        return true;
    }
    stopRequested_ = true;
    shared_->wake();
    ioThread_.join();
    bool finished;
    {
        std::lock_guard guard(shared_->lock);
        finished = shared_->running == 0;
    }
    leaveWorkers();
    context_.reset();
    bound_.clear();
    shared_->instances.release_all();
    return finished;
}

Host::Host(HostOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Host::~Host() {
    impl_->stop();
}

int Host::start() {
    return impl_->start();
}

bool Host::stop() {
    return impl_->stop();
}

bool Host::running() const {
    return impl_->running();
}

std::vector<std::string> Host::endpoints() const {
    return impl_->endpoints();
}

HostStats Host::stats() const {
    return impl_->stats();
}

bool curve_available() {
    return zmq_has("curve") != 0;
}

CurveKeyPair make_curve_key_pair() {
    char publicKey[41] = {};
    char secretKey[41] = {};
    if (!curve_available() || zmq_curve_keypair(publicKey, secretKey) != 0) {
        return {};
    }
    return {publicKey, secretKey};
}

}  // namespace tuplink

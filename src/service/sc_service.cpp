#include "sc_api/sc_service.h"

#include <unistd.h>

#include <atomic>
#include <climits>
#include <memory>
#include <mutex>
#include <utility>

#include "service/refusal_log.h"
#include "tuplink/call_context.h"

namespace {

std::string workingDirectory() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string("/");
}

struct Settings {
    std::mutex lock;  // guards root and log
    std::string root;
    std::shared_ptr<const std::function<void(const std::string&)>> log;
    std::atomic<std::uint64_t> maxReplyBytes{std::uint64_t{1} << 30};
};

Settings& settings() {
    static Settings* const instance = new Settings;  // outlives every static user
    return *instance;
}

}  // namespace

void SCService::setRoot(const std::string& directory) {
    std::string absolute = directory;
    if (absolute.empty() || absolute.front() != '/') {
        absolute = workingDirectory() + "/" + absolute;
    }
    std::lock_guard guard(settings().lock);
    settings().root = std::move(absolute);
}

std::string SCService::root() {
    std::lock_guard guard(settings().lock);
    if (settings().root.empty()) {
        settings().root = workingDirectory();
    }
    return settings().root;
}

void SCService::setMaxReplyBytes(std::uint64_t bytes) {
    settings().maxReplyBytes.store(bytes, std::memory_order_relaxed);
}

std::uint64_t SCService::maxReplyBytes() {
    return settings().maxReplyBytes.load(std::memory_order_relaxed);
}

void SCService::setRefusalLog(std::function<void(const std::string&)> log) {
    auto shared =
        log ? std::make_shared<const std::function<void(const std::string&)>>(std::move(log))
            : nullptr;
    std::lock_guard guard(settings().lock);
    settings().log = std::move(shared);
}

namespace refusal_log {

namespace {
std::shared_ptr<const std::function<void(const std::string&)>> current() {
    std::lock_guard guard(settings().lock);
    return settings().log;
}

// " from ADDRESS (id PEER, key KEY)" for the call running on this thread; empty outside one.
std::string caller() {
    const tuplink::CallContext* call = tuplink::current_call();
    if (call == nullptr) {
        return {};
    }
    std::string text = " from " + (call->peer_address.empty() ? "local" : call->peer_address) +
                       " (id " + call->peer_id;
    if (!call->user_id.empty()) {
        text += ", key " + call->user_id;
    }
    return text + ")";
}

}  // namespace

bool enabled() {
    return current() != nullptr;
}

void write(const std::string& line) {
    if (auto log = current()) {
        try {
            (*log)(line + caller());
        } catch (...) {  // a host's logging failure must not fail the call
        }
    }
}

}  // namespace refusal_log

#include "tuplink/thread.h"

#include <thread>

namespace tuplink {

Thread::~Thread() = default;

bool Thread::start() {
    bool expected = false;
    if (!started_.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) {
        return false;
    }
    try {
        std::thread([this] { run(); }).detach();
    } catch (...) {  // no thread (std::system_error) or no memory for its start-up state
        started_.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

}  // namespace tuplink

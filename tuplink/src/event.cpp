#include "tuplink/event.h"

#include <chrono>

namespace tuplink {

namespace {

// Time-outs this long are waited for without a deadline: no clock arithmetic near its limits.
const TimePeriod kForever(TimePeriod::Duration(std::chrono::hours(24 * 365 * 100)));

}  // namespace

Event::Event(bool auto_reset) : autoReset_(auto_reset), valid_(true) {}

Event::~Event() = default;

bool Event::create() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
    valid_.store(true, std::memory_order_release);
    return true;
}

void Event::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
    valid_.store(false, std::memory_order_release);
}

bool Event::signal() {
    // Notified under the lock: a woken waiter may destroy the event as soon as it returns.
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_.load(std::memory_order_relaxed)) {
        return false;
    }
    if (!autoReset_) {
        signalled_ = true;
        ++generation_;
        wake_.notify_all();
    } else if (releases_ < waiterCount_) {
        ++releases_;
        wake_.notify_one();
    } else {
        signalled_ = true;
    }
    return true;
}

bool Event::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_.load(std::memory_order_relaxed)) {
        return false;
    }
    signalled_ = false;
    return true;
}

bool Event::wait() {
    return waitUntil(nullptr);
}

bool Event::wait(const TimePeriod& timeout) {
    if (timeout >= kForever) {
        return waitUntil(nullptr);
    }
    const TimeDate deadline = TimeDate::now() + timeout;
    return waitUntil(&deadline);
}

std::size_t Event::waiters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiterCount_;
}

bool Event::waitUntil(const TimeDate* deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!valid_.load(std::memory_order_relaxed)) {
        return false;
    }
    if (signalled_) {
        signalled_ = !autoReset_;
        return true;
    }
    if (deadline != nullptr && *deadline <= TimeDate::now()) {
        return false;
    }
    const unsigned long generation = generation_;
    ++waiterCount_;
    while (!mayPass(generation)) {
        if (deadline == nullptr) {
            wake_.wait(lock);
        } else if (wake_.wait_until(lock, deadline->time_point()) == std::cv_status::timeout) {
            break;
        }
    }
    // Checked again after a time-out: a release granted meanwhile is taken, not lost.
    return pass(generation);
}

bool Event::mayPass(unsigned long generation) const {
    return autoReset_ ? releases_ > 0 : generation_ != generation || signalled_;
}

bool Event::pass(unsigned long generation) {
    const bool passes = mayPass(generation);
    --waiterCount_;
    if (passes && autoReset_) {
        --releases_;
    }
    return passes;
}

}  // namespace tuplink

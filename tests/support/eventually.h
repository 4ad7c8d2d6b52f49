#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace test_support {

// Polls `condition` every millisecond until it holds or `limit` has passed; returns its last
// value. For states that other threads reach soon, without fixed sleeps in tests.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace test_support

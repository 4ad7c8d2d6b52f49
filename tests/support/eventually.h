#pragma once

#include <chrono>
#include <functional>

namespace test_support {

// Polls `condition` every millisecond until it holds or `limit` has passed; returns its last
// value. For states that other threads reach soon, without fixed sleeps in tests.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(10));

// Milliseconds that `work` took.
double millisecondsTaken(const std::function<void()>& work);

}  // namespace test_support

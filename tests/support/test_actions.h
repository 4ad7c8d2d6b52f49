#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>

#include "sc_api/processor.h"

namespace test_support {

// Counts its executions, running `work` (if any) on each.
class CountingAction : public lattix::lx_tuplink::Action {
  public:
    explicit CountingAction(std::function<void()> work = {}) : work_(std::move(work)) {}
    int executions() const { return executions_.load(); }

  protected:
    void execute() override {
        ++executions_;
        if (work_) {
            work_();
        }
    }

  private:
    std::function<void()> work_;
    std::atomic<int> executions_{0};
};

inline tuplink::AutoRef<CountingAction> countingAction(std::function<void()> work = {}) {
    return tuplink::AutoRef<CountingAction>(new CountingAction(std::move(work)));
}

// Each execution announces itself, then blocks until the test lets it through: one at a time
// with letThrough(), or every execution from then on with open().
class GatedAction : public lattix::lx_tuplink::Action {
  public:
    void letThrough(int executions) {
        std::lock_guard<std::mutex> lock(mutex_);
        permits_ += executions;
        changed_.notify_all();
    }
    void open() { letThrough(1 << 20); }  // more than any test posts
    int started() const { return started_.load(); }
    int finished() const { return finished_.load(); }

  protected:
    void execute() override {
        ++started_;
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return permits_ > 0; });
        --permits_;
        ++finished_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int permits_ = 0;  // executions allowed through, not yet used
    std::atomic<int> started_{0};
    std::atomic<int> finished_{0};
};

// A gated action opened at the end of the scope, so that no failed assertion leaves a worker
// (and the processor's destruction) blocked for ever. Declare it after the processor.
struct Gate {
    ~Gate() { action->open(); }
    GatedAction* operator->() const { return action.get(); }

    const tuplink::AutoRef<GatedAction> action{new GatedAction};
};

}  // namespace test_support

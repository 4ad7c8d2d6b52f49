#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "sc_api/processor.h"
#include "tuplink/ref_object.h"

namespace test_support {

using lattix::lx_tuplink::Action;
using lattix::lx_tuplink::ActionList;
using lattix::lx_tuplink::Processor;

// Counts its executions.
class CountingAction : public Action {
  public:
    int executions() const { return executions_.load(); }

  protected:
    void execute() override { ++executions_; }

  private:
    std::atomic<int> executions_{0};
};

// Runs a function as its work.
class FunctionAction : public Action {
  public:
    explicit FunctionAction(std::function<void()> work) : work_(std::move(work)) {}

  protected:
    void execute() override { work_(); }

  private:
    std::function<void()> work_;
};

// Each execution announces itself, then blocks until the test lets it through: one at a time
// with letThrough(), or every execution from then on with open().
class GatedAction : public Action {
  public:
    void letThrough(int executions);
    void open();
    int started() const { return started_.load(); }
    int finished() const { return finished_.load(); }

  protected:
    void execute() override;

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int permits_ = 0;    // executions allowed through, not yet used
    bool open_ = false;  // every execution goes through
    std::atomic<int> started_{0};
    std::atomic<int> finished_{0};
};

// Makes gated actions and opens them all when it goes out of scope, so that a failed assertion
// never leaves a worker blocked, and the processor's destruction waiting for it, for ever.
// Declare it after the processor that runs its actions.
class Gates {
  public:
    Gates() = default;
    Gates(const Gates&) = delete;
    Gates& operator=(const Gates&) = delete;
    ~Gates();

    tuplink::AutoRef<GatedAction> make();

  private:
    std::vector<tuplink::AutoRef<GatedAction>> gates_;
};

// Labels appended by actions as they execute, in execution order.
class ExecutionLog {
  public:
    // An action that appends `label` when it executes.
    tuplink::AutoRef<Action> action(int label);
    std::vector<int> labels();

  private:
    std::mutex mutex_;
    std::vector<int> labels_;
};

// A new action of type T held by a reference, as the library's callers hold them.
template <class T, class... Args>
tuplink::AutoRef<T> makeAction(Args&&... args) {
    return tuplink::AutoRef<T>(new T(std::forward<Args>(args)...));
}

}  // namespace test_support

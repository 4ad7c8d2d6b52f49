#include "support/test_actions.h"

namespace test_support {

void GatedAction::letThrough(int executions) {
    std::lock_guard<std::mutex> lock(mutex_);
    permits_ += executions;
    changed_.notify_all();
}

void GatedAction::open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
}

void GatedAction::execute() {
    ++started_;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return open_ || permits_ > 0; });
    if (!open_) {
        --permits_;
    }
    ++finished_;
}

Gates::~Gates() {
    for (const auto& gate : gates_) {
        gate->open();
    }
}

tuplink::AutoRef<GatedAction> Gates::make() {
    gates_.emplace_back(new GatedAction);
    return gates_.back();
}

tuplink::AutoRef<Action> ExecutionLog::action(int label) {
    return tuplink::AutoRef<Action>(new FunctionAction([this, label] {
        std::lock_guard<std::mutex> lock(mutex_);
        labels_.push_back(label);
    }));
}

std::vector<int> ExecutionLog::labels() {
    std::lock_guard<std::mutex> lock(mutex_);
    return labels_;
}

}  // namespace test_support

#include "processor/processor_state.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <thread>

#include "processor/thread_item.h"

namespace lattix::lx_tuplink {

namespace {

using tuplink::TimeDate;
using tuplink::TimePeriod;

// Waiters re-test the queue at least this often: the done event wakes only one of them.
const TimePeriod kPollSlice(0, 50, true);
// How long a stopping processor waits for its workers to leave their loops.
const TimePeriod kStopGrace(0, 1000, true);

template <class T>
bool refersTo(const tuplink::BaseList<tuplink::AutoRef<T>>& list, const T* object) {
    for (const auto& entry : list) {
        if (entry.get() == object) {
            return true;
        }
    }
    return false;
}

}  // namespace

ProcessorState::ProcessorState(unsigned maxThreads) : maxThreads_(maxThreads) {}

ProcessorState::~ProcessorState() = default;

void ProcessorState::post(const ActionRef& action) {
    {
        std::lock_guard<tuplink::CriticalSection> guard(queueLock_);
        if (stopping_.load(std::memory_order_relaxed)) {
            action->cancel();
            return;
        }
        pending_.push_back(action);
        pendingCount_.fetch_add(1, std::memory_order_release);
    }
    ensureThreads(pendingCount_.load(std::memory_order_acquire));
    workEvent_.signal();
}

void ProcessorState::ensureThreads(int pending) {
    if (!workEvent_.is_valid()) {
        workEvent_.create();
    }
    std::lock_guard<tuplink::CriticalSection> guard(threadLock_);
    if (stopping_.load(std::memory_order_acquire) || pending <= idleCount_) {
        return;
    }
    if (maxThreads_ != 0 && threads_.size() >= maxThreads_) {
        return;
    }
    const ThreadItemRef worker(new ThreadItem(*this));
    threads_.push_back(worker);
    if (!worker->launch()) {
        threads_.erase(std::prev(threads_.end()));
        setIdle(*worker, false);
    }
}

bool ProcessorState::wait(const Action* action, long timeout) {
    const TimePeriod limit(0, timeout, true);
    const TimeDate start = TimeDate::now();
    while (isQueued(action)) {
        if (limit == TimePeriod(0, 0, true)) {
            doneEvent_.wait(kPollSlice);
            continue;
        }
        const TimePeriod passed = TimeDate::now() - start;
        if (!(passed < limit)) {
            break;
        }
        doneEvent_.wait(std::min(limit - passed, kPollSlice));
    }
    return !isQueued(action);
}

void ProcessorState::shutdown() {
    stop();
    std::lock_guard<tuplink::CriticalSection> guard(threadLock_);
    threads_.clear();
}

void ProcessorState::waitForWork(const TimePeriod& timeout) {
    workEvent_.wait(timeout);
}

void ProcessorState::wakeWorker() {
    workEvent_.signal();
}

ActionRef ProcessorState::takeNext() {
    ActionRef action;
    bool morePending = false;
    {
        std::lock_guard<tuplink::CriticalSection> guard(queueLock_);
        if (pending_.empty()) {
            return action;
        }
        action = pending_.front();
        running_.splice_back(pending_, pending_.begin());
        pendingCount_.fetch_sub(1, std::memory_order_release);
        morePending = !pending_.empty();
    }
    // Signals given while workers were busy or still starting collapse into one; passing the
    // wake on lets an idle worker take the next action now rather than at its next time-out.
    if (morePending) {
        workEvent_.signal();
    }
    return action;
}

void ProcessorState::complete(const Action* action) {
    {
        std::lock_guard<tuplink::CriticalSection> guard(queueLock_);
        for (auto entry = running_.begin(); entry != running_.end(); ++entry) {
            if (entry->get() == action) {
                running_.erase(entry);
                break;
            }
        }
    }
    doneEvent_.signal();
}

void ProcessorState::setIdle(ThreadItem& worker, bool idle) {
    std::lock_guard<tuplink::CriticalSection> guard(threadLock_);
    if (worker.idle_ != idle) {
        worker.idle_ = idle;
        idleCount_ += idle ? 1 : -1;
    }
}

void ProcessorState::removeWorker(const ThreadItem& worker) {
    std::lock_guard<tuplink::CriticalSection> guard(threadLock_);
    for (auto entry = threads_.begin(); entry != threads_.end();) {
        entry = entry->get() == &worker ? threads_.erase(entry) : std::next(entry);
    }
}

unsigned ProcessorState::workerCount() {
    std::lock_guard<tuplink::CriticalSection> guard(threadLock_);
    return static_cast<unsigned>(threads_.size());
}

int ProcessorState::idleCount() {
    std::lock_guard<tuplink::CriticalSection> guard(threadLock_);
    return idleCount_;
}

bool ProcessorState::isQueued(const Action* action) {
    std::lock_guard<tuplink::CriticalSection> guard(queueLock_);
    return refersTo(pending_, action) || refersTo(running_, action);
}

void ProcessorState::stop() {
    {
        std::lock_guard<tuplink::CriticalSection> guard(queueLock_);
        stopping_.store(true, std::memory_order_release);
    }
    {
        std::lock_guard<tuplink::CriticalSection> guard(threadLock_);
        for (const ThreadItemRef& worker : threads_) {
            worker->requestStop();
            workEvent_.signal();
        }
    }
    cancelAll();
    // Polled rather than waited for without limit: a concurrent waiter may take the signal.
    while (hasQueuedActions()) {
        doneEvent_.wait(kPollSlice);
    }
    const TimeDate start = TimeDate::now();
    while (workerCount() != 0 && TimeDate::now() - start < kStopGrace) {
        std::this_thread::yield();
    }
    std::lock_guard<tuplink::CriticalSection> guard(threadLock_);
    idleCount_ = 0;
}

void ProcessorState::cancelAll() {
    {
        std::lock_guard<tuplink::CriticalSection> guard(queueLock_);
        for (const ActionRef& action : pending_) {
            action->cancel();
        }
        pending_.clear();
        pendingCount_.store(0, std::memory_order_release);
        for (const ActionRef& action : running_) {
            action->cancel();
        }
    }
    doneEvent_.signal();
}

bool ProcessorState::hasQueuedActions() {
    std::lock_guard<tuplink::CriticalSection> guard(queueLock_);
    return !pending_.empty() || !running_.empty();
}

}  // namespace lattix::lx_tuplink

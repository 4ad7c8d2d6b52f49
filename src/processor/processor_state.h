#pragma once

#include <atomic>

#include "sc_api/processor.h"
#include "tuplink/base_list.h"
#include "tuplink/critical_section.h"
#include "tuplink/event.h"
#include "tuplink/ref_object.h"
#include "tuplink/time.h"

namespace lattix::lx_tuplink {

class ThreadItem;

using ThreadItemRef = tuplink::AutoRef<ThreadItem>;

// The queue and workers behind one Processor. The processor and each worker hold a
// reference, so a worker that is slow to leave never touches a destroyed state.
//
// Locks: the queue lock guards the pending and running lists; the thread lock guards the thread
// list, the idle count and the workers' idle flags. Neither is entered while holding the other.
class ProcessorState : public tuplink::RefObject {
  public:
    explicit ProcessorState(unsigned maxThreads);

    // Queues `action` at the end of the pending list, starts a worker if needed and signals
    // the work event. Once stopping has begun the action is cancelled instead.
    void post(const ActionRef& action);
    // Starts one worker if `pending` exceeds the idle count and the limit allows another.
    void ensureThreads(int pending);
    // Blocks until `action` is no longer queued or `timeout` ms (0: no limit) have passed;
    // true when it is no longer queued.
    bool wait(const Action* action, long timeout);
    // Stops the workers: cancels everything pending, waits for what runs, gives the workers
    // one second to leave, then drops the references left in the thread list.
    void shutdown();

    // For the workers.
    // Waits for a post (or stop) for at most `timeout`.
    void waitForWork(const tuplink::TimePeriod& timeout);
    // Wakes one worker waiting for work (or the next one to wait).
    void wakeWorker();
    // Moves the oldest pending action to the running list and returns it; null when none.
    // Wakes another worker when more actions are pending.
    ActionRef takeNext();
    // Removes one running posting of `action` and wakes a waiter.
    void complete(const Action* action);
    // Counts `worker` as idle or busy (no change when it already is).
    void setIdle(ThreadItem& worker, bool idle);
    // Removes every thread-list entry referring to `worker`.
    void removeWorker(const ThreadItem& worker);

    // Snapshots, for diagnostics.
    unsigned workerCount();
    int idleCount();
    int pendingCount() const { return pendingCount_.load(std::memory_order_acquire); }
    // True when `action` is pending or running.
    bool isQueued(const Action* action);

  private:
    ~ProcessorState() override;

    void stop();
    void cancelAll();
    bool hasQueuedActions();

    tuplink::CriticalSection queueLock_;        // guards pending_, running_, pendingCount_ updates
    tuplink::CriticalSection threadLock_;       // guards threads_, idleCount_, workers' idle flags
    std::atomic<int> pendingCount_{0};          // entries in pending_; also read without the lock
    int idleCount_ = 0;                         // workers not running an action
    const unsigned maxThreads_;                 // limit on workers; 0 means none
    std::atomic<bool> stopping_{false};         // set under the queue lock when stopping begins
    tuplink::BaseList<ActionRef> pending_;      // posted, not yet taken; oldest first
    tuplink::BaseList<ActionRef> running_;      // taken by a worker, not yet complete
    tuplink::Event workEvent_{true};            // signalled after each post and at stop
    tuplink::Event doneEvent_{true};            // signalled after each completion and at stop
    tuplink::BaseList<ThreadItemRef> threads_;  // every worker started and not yet gone
};

}  // namespace lattix::lx_tuplink

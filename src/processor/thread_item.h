#pragma once

#include <atomic>

#include "processor/processor_state.h"
#include "tuplink/ref_object.h"
#include "tuplink/thread.h"

namespace lattix::lx_tuplink {

// One worker thread of a processor. It counts itself idle at construction, takes and runs
// actions until asked to stop, then leaves the thread list and drops its own reference: the
// worker is destroyed by its last reference, on its own thread or with the thread list.
class ThreadItem : public tuplink::Thread, public tuplink::RefObject {
  public:
    // Counts the worker as idle in `owner` (whose thread lock the caller may hold).
    explicit ThreadItem(ProcessorState& owner);

    // Starts the worker's thread, which owns a reference to the worker until its loop ends.
    // False when no thread could be started (that reference is then dropped again).
    bool launch();
    // Asks the worker to leave its loop; it does so after the action it runs, if any.
    void requestStop() { stopRequested_.store(true, std::memory_order_release); }

  protected:
    // The worker loop.
    void run() override;

  private:
    ~ThreadItem() override;

    bool stopRequested() const { return stopRequested_.load(std::memory_order_acquire); }
    // Takes and runs one action; false when none was pending.
    bool runNext();

    friend class ProcessorState;

    tuplink::AutoRef<ProcessorState> owner_;  // the state served, kept alive by this worker
    bool idle_ = false;                       // counted idle; guarded by the owner's thread lock
    std::atomic<bool> stopRequested_{false};  // set by the stopping processor
};

}  // namespace lattix::lx_tuplink

#pragma once

#include <atomic>

#include "sc_api/export.h"
#include "tuplink/base_list.h"
#include "tuplink/critical_section.h"
#include "tuplink/ref_object.h"

namespace lattix::lx_tuplink {

class Processor;
class ProcessorState;

// A unit of work for a Processor. Subclasses override execute() (and the destructor where they
// own resources). An action is reference counted: hold it through an AutoRef; the processor
// holds one reference per posting until that posting is complete.
//
// One action may be posted several times, to have several workers share its work; execute()
// then runs once per posting, possibly on several threads at once, and must allow that.
class SC_API_EXPORT Action : public tuplink::RefObject {
  public:
    Action();

    // Runs execute() unless the action is cancelled. An exception leaving execute() is caught
    // and dropped: the action then counts as done like any other.
    void process();
    // Marks the action cancelled: postings not yet begun never execute. An execute() already
    // running is not interrupted (it may poll isCancelled()).
    void cancel();
    bool isCancelled() const { return cancelled_.load(std::memory_order_acquire); }

    // Same as processor.wait for this action.
    bool wait(Processor& processor, long timeout);

    // The process-wide action lock, shared by every action and never destroyed.
    tuplink::CriticalSection& get_cs() override;

  protected:
    ~Action() override;

    // The work itself; does nothing unless overridden.
    virtual void execute();

  private:
    std::atomic<bool> cancelled_{false};  // set by cancel(); read by any worker
};

using ActionRef = tuplink::AutoRef<Action>;

// A batch of action references, posted in list order with Processor::post and waited for as
// a whole. The same action may appear several times (one posting each).
class SC_API_EXPORT ActionList : public tuplink::BaseList<ActionRef> {
  public:
    // Appends a reference to `action`.
    void add(const ActionRef& action) { push_back(action); }

    // Waits for each action in list order, each with the full `timeout` in milliseconds (0
    // means no limit). Returns true whatever the single waits returned.
    bool wait(Processor& processor, long timeout) const;
};

// A pool of worker threads that take posted actions first in, first out and run them.
//
// Workers start lazily: each post starts at most one, only while more actions are pending than
// workers are idle, and never more than `maxThreads` (0: no limit). Workers live until the
// processor is destroyed. Any thread may post and wait, including a worker of this processor
// (as long as the processor has, or may still start, another worker to run what it waits for).
class SC_API_EXPORT Processor {
  public:
    // Starts no thread.
    explicit Processor(unsigned maxThreads);
    // Stops: pending actions are cancelled and never execute, running ones are waited for
    // without limit, and the workers get one second to leave. A worker still running after
    // that keeps what it uses alive until it leaves. An action posted while the processor is
    // being destroyed is cancelled instead of queued.
    ~Processor();
    Processor(const Processor&) = delete;
    Processor& operator=(const Processor&) = delete;

    // Queues one posting of `action` (null is ignored).
    void post(ActionRef action);
    // Posts every action of the list, in list order, exactly as single posts.
    void post(const ActionList& actions);

    // Blocks until `action` is neither pending nor running here, or until `timeout`
    // milliseconds have passed (0 means no limit). True when the action is no longer queued;
    // an action never posted, or already complete, gives true at once.
    bool wait(const ActionRef& action, long timeout);

    // Number of worker threads started and not yet gone (a snapshot, for diagnostics).
    unsigned workerCount() const;

  private:
    ProcessorState* state_;  // shared with the workers, which keep it alive until they leave
};

}  // namespace lattix::lx_tuplink

#include "processor/thread_item.h"

namespace lattix::lx_tuplink {

namespace {

// Idle workers look for work at least this often, whether or not the work event wakes them.
const tuplink::TimePeriod kWorkerWake(0, 500, true);

}  // namespace

ThreadItem::ThreadItem(ProcessorState& owner) : owner_(&owner) {
    owner.setIdle(*this, true);
}

ThreadItem::~ThreadItem() = default;

bool ThreadItem::launch() {
    attach();
    if (start()) {
        return true;
    }
    release();
    return false;
}

void ThreadItem::run() {
    const ThreadItemRef self = ThreadItemRef::adopt(this);
    ProcessorState& owner = *owner_;
    while (!stopRequested()) {
        owner.waitForWork(kWorkerWake);
        while (!stopRequested() && runNext()) {
        }
    }
    owner.removeWorker(*this);
    // The stop signals of workers that were not yet waiting collapse into one: pass it on to a
    // sibling that may have gone back to waiting meanwhile.
    owner.wakeWorker();
    // Dropping `self` may destroy this worker and, with it, the last reference to the state.
}

bool ThreadItem::runNext() {
    // The worker stops counting as idle before it takes an action, not after: a post made in
    // between must see that nobody is free to run it, or it would start no worker and could
    // wait for ever behind an action that blocks.
    owner_->setIdle(*this, false);
    const ActionRef action = owner_->takeNext();
    if (!action) {
        owner_->setIdle(*this, true);
        return false;
    }
    action->process();
    owner_->complete(action.get());
    owner_->setIdle(*this, true);
    return true;
}

}  // namespace lattix::lx_tuplink

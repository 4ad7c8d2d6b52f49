#include "sc_api/processor.h"

#include "processor/processor_state.h"

namespace lattix::lx_tuplink {

Action::Action() = default;

Action::~Action() = default;

void Action::process() {
    if (isCancelled()) {
        return;
    }
    try {
        execute();
    } catch (...) {
        // An action's failure is its own business; the worker goes on with the next one.
    }
}

void Action::cancel() {
    cancelled_.store(true, std::memory_order_release);
}

bool Action::wait(Processor& processor, long timeout) {
    const ActionRef self(this);
    return processor.wait(self, timeout);
}

tuplink::CriticalSection& Action::get_cs() {
    // Never destroyed: the library's processor releases actions during static destruction.
    static tuplink::CriticalSection* const actionLock = new tuplink::CriticalSection;
    return *actionLock;
}

void Action::execute() {}

bool ActionList::wait(Processor& processor, long timeout) const {
    for (const ActionRef& action : *this) {
        processor.wait(action, timeout);
    }
    return true;
}

Processor::Processor(unsigned maxThreads) : state_(new ProcessorState(maxThreads)) {
    state_->attach();
}

Processor::~Processor() {
    state_->shutdown();
    state_->release();
}

void Processor::post(ActionRef action) {
    if (action) {
        state_->post(action);
    }
}

void Processor::post(const ActionList& actions) {
    for (const ActionRef& action : actions) {
        post(action);
    }
}

bool Processor::wait(const ActionRef& action, long timeout) {
    // The reference keeps the state alive should the processor be destroyed meanwhile.
    const tuplink::AutoRef<ProcessorState> state(state_);
    return state->wait(action.get(), timeout);
}

unsigned Processor::workerCount() const {
    return state_->workerCount();
}

}  // namespace lattix::lx_tuplink

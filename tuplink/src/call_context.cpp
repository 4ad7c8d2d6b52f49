#include "tuplink/call_context.h"

namespace tuplink {

namespace {
thread_local const CallContext* currentContext = nullptr;
}  // namespace

const CallContext* current_call() {
    return currentContext;
}

CallContextScope::CallContextScope(const CallContext& context) : previous_(currentContext) {
    currentContext = &context;
}

CallContextScope::~CallContextScope() {
    currentContext = previous_;
}

}  // namespace tuplink

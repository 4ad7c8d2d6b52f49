#pragma once

#include <string>

#include "tuplink/export.h"

namespace tuplink {

// Who made the call being run on this thread, for methods that log or check their callers.
struct CallContext {
    std::string peer_id;       // the connection's ZeroMQ routing id, in hex
    std::string peer_address;  // the client's address ("127.0.0.1" for TCP; empty for ipc://)
    std::string user_id;       // the client's CURVE public key in Z85 when CURVE is on
};

// The context of the call that a host runs on this thread; null outside such a call (for
// example when a method object is invoked directly).
TUPLINK_EXPORT const CallContext* current_call();

// Makes `context` the current call's for the life of the scope (hosts use it around
// invoke()). Scopes nest; each restores the previous context when it ends.
class TUPLINK_EXPORT CallContextScope {
  public:
    explicit CallContextScope(const CallContext& context);
    ~CallContextScope();
    CallContextScope(const CallContextScope&) = delete;
    CallContextScope& operator=(const CallContextScope&) = delete;

  private:
    const CallContext* previous_;  // the context this scope replaced
};

}  // namespace tuplink

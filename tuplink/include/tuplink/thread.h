#pragma once

#include <atomic>

#include "tuplink/export.h"

namespace tuplink {

// A thread of execution whose body is the overridden run(). The thread is detached: nothing
// joins it, so the object must stay alive until run() no longer touches it (an object may
// destroy itself at the end of its own run(), as counted objects do with their last
// reference).
class TUPLINK_EXPORT Thread {
  public:
    Thread() = default;
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts a new thread that calls run() once. Returns false, and runs nothing, when the
    // object was started before or the system could not create a thread.
    bool start();
    // Whether start() has succeeded on this object.
    bool is_started() const { return started_.load(std::memory_order_acquire); }

  protected:
    // The thread's body, run on the new thread.
    virtual void run() = 0;

  private:
    std::atomic<bool> started_{false};  // start() claimed this object
};

}  // namespace tuplink

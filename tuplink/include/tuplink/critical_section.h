#pragma once

#include <mutex>

#include "tuplink/export.h"

namespace tuplink {

// A lock that excludes other threads and may be entered again by the thread that holds it;
// each enter() must be matched by one leave() on the same thread.
class TUPLINK_EXPORT CriticalSection {
  public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // Blocks until no other thread holds the lock, then holds it (once more).
    void enter();
    // Enters only if that needs no waiting; true when the lock is now held (once more).
    bool try_enter();
    // Undoes one enter(); the lock is free for others after the last one.
    void leave();

    // std::lock_guard compatibility.
    void lock() { enter(); }
    void unlock() { leave(); }

  private:
    std::recursive_mutex mutex_;  // the lock itself; recursive for re-entry by its holder
};

}  // namespace tuplink

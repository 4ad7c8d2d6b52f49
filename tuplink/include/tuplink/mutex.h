#pragma once

#include <mutex>

#include "tuplink/export.h"

namespace tuplink {

// A plain lock that excludes other threads. Unlike CriticalSection it may not be entered
// again by its holder: a second lock() on the holding thread deadlocks.
class TUPLINK_EXPORT Mutex {
  public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    // Blocks until the lock is free, then holds it.
    void lock();
    // Holds the lock if it is free; true when it is now held.
    bool try_lock();
    // REQUIRES: the calling thread holds the lock.
    void unlock();

  private:
    std::mutex mutex_;  // the lock itself
};

}  // namespace tuplink

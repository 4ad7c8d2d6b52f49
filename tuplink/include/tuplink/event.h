#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "tuplink/export.h"
#include "tuplink/time.h"

namespace tuplink {

// A synchronisation event, valid (usable) from construction.
//
// An auto-reset event lets exactly one wait through per signal: a signal given while threads
// wait releases one of them (not necessarily the longest-waiting) and leaves the event
// unsignalled; a signal given while nobody waits is kept until the next wait consumes it.
// Several signals kept that way collapse into one.
//
// A manual-reset event, once signalled, lets every wait through (those blocked and those to
// come) until reset().
//
// Every operation on an event that is not valid fails at once and returns false. A thread
// whose wait a signal let through may destroy the event at once, if no other thread uses it:
// the released waiter can only return once signal() has left the event.
class TUPLINK_EXPORT Event {
  public:
    explicit Event(bool auto_reset = true);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // Makes the event valid again, unsignalled, of the kind given at construction. Returns
    // whether the event is valid afterwards (always true).
    bool create();
    // Makes the event invalid. REQUIRES: no thread is waiting on it.
    void close();
    bool is_valid() const { return valid_.load(std::memory_order_acquire); }

    // Signals the event as described above; false when the event is not valid.
    bool signal();
    // Clears a kept signal (of either kind); false when the event is not valid.
    bool reset();

    // Blocks until a signal lets this wait through; false only when the event is not valid.
    bool wait();
    // As wait(), but gives up once `timeout` has passed and then returns false. A release
    // given to this waiter is never lost: if the time-out and a signal race, the wait
    // reports true. A zero or negative time-out only consumes a kept signal, if there is one.
    bool wait(const TimePeriod& timeout);

    // Number of threads blocked in wait() at this moment (a snapshot, for diagnostics).
    std::size_t waiters() const;

  private:
    bool waitUntil(const TimeDate* deadline);
    bool mayPass(unsigned long generation) const;
    bool pass(unsigned long generation);

    const bool autoReset_;          // kind of event, fixed at construction
    std::atomic<bool> valid_;       // usable; written under mutex_
    mutable std::mutex mutex_;      // guards everything below
    std::condition_variable wake_;  // blocked waiters
    bool signalled_ = false;        // a kept signal (auto-reset) or the open state (manual)
    std::size_t waiterCount_ = 0;   // threads blocked in wait()
    std::size_t releases_ = 0;      // auto-reset: signals granted to blocked waiters, not
                                    // yet taken; never more than waiterCount_
    unsigned long generation_ = 0;  // manual reset: signals given so far
};

}  // namespace tuplink

#pragma once

#include <mutex>

namespace tuplink {

// A lock that excludes other threads and may be entered again by the thread that holds it;
// each enter() must be matched by one leave().
class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void enter();
    void leave();

    // std::lock_guard compatibility.
    void lock() { enter(); }
    void unlock() { leave(); }

private:
    std::recursive_mutex mutex_;  // the lock itself; recursive for re-entry by its holder
};

}  // namespace tuplink

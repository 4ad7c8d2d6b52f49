#include "tuplink/critical_section.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "tuplink/mutex.h"

namespace {

// Whether another thread can enter the section right now (it leaves again at once).
bool freeForOthers(tuplink::CriticalSection& section) {
    bool entered = false;
    std::thread other([&] {
        entered = section.try_enter();
        if (entered) {
            section.leave();
        }
    });
    other.join();
    return entered;
}

// `threads` threads each add 1 to a plain counter `rounds` times, each time under `lock`.
template <class Lock>
long countUnder(Lock& lock, int threads, int rounds) {
    long counter = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < rounds; ++i) {
                lock.lock();
                ++counter;
                lock.unlock();
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return counter;
}

TEST(CriticalSection, HolderMayEnterAgainAndOthersWaitForItsLastLeave) {
    tuplink::CriticalSection section;
    section.enter();
    EXPECT_TRUE(section.try_enter());
    section.leave();
    EXPECT_FALSE(freeForOthers(section));
    section.leave();
    EXPECT_TRUE(freeForOthers(section));
}

TEST(CriticalSection, ExcludesOtherThreads) {
    tuplink::CriticalSection section;
    EXPECT_EQ(countUnder(section, 4, 5000), 4 * 5000);
}

TEST(Mutex, ExcludesOtherThreads) {
    tuplink::Mutex mutex;
    EXPECT_EQ(countUnder(mutex, 4, 5000), 4 * 5000);
}

}  // namespace

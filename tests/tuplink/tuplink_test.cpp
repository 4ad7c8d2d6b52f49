// The threading primitives under the processor, and the time arithmetic of its waits.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <thread>
#include <vector>

#include "support/eventually.h"
#include "tuplink/critical_section.h"
#include "tuplink/event.h"
#include "tuplink/ref_object.h"
#include "tuplink/time.h"

namespace {

using test_support::eventually;
using tuplink::Event;
using tuplink::TimePeriod;

TimePeriod ms(long long count) {
    return TimePeriod(0, count, true);
}

TEST(Event, KeepsOneSignalGivenWhileNobodyWaitsAndTimesOutWithoutOne) {
    Event event(true);
    event.signal();
    event.signal();
    EXPECT_TRUE(event.wait(ms(0)));
    EXPECT_FALSE(event.wait(ms(20))) << "kept signals collapse into one";
}

TEST(Event, EachSignalLetsExactlyOneBlockedWaiterThrough) {
    Event event(true);
    std::atomic<int> passed{0};
    std::vector<std::jthread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] { passed += event.wait() ? 1 : 0; });
    }
    ASSERT_TRUE(eventually([&] { return event.waiters() == 3; }));
    event.signal();
    event.signal();
    ASSERT_TRUE(eventually([&] { return passed == 2; }));
    EXPECT_EQ(event.waiters(), 1u);
    event.signal();
    ASSERT_TRUE(eventually([&] { return passed == 3; }));
    EXPECT_FALSE(event.wait(ms(0))) << "a signal that released a waiter is not kept";
}

// Waiters timing out every millisecond race each signal, which must still let one wait through.
TEST(Event, NoSignalIsLostToAWaiterThatTimesOut) {
    Event event(true);
    std::atomic<int> passed{0};
    std::vector<std::jthread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&](std::stop_token stop) {
            while (!stop.stop_requested()) {
                passed += event.wait(ms(1)) ? 1 : 0;
            }
        });
    }
    for (int i = 1; i <= 300 && eventually([&] { return passed == i - 1; }); ++i) {
        event.signal();
    }
    EXPECT_TRUE(eventually([&] { return passed == 300; }));
}

TEST(Event, ReleasedWaiterMayDestroyTheEventAtOnce) {
    for (int round = 0; round < 100; ++round) {
        auto* event = new Event(true);
        std::jthread waiter([event] {
            event->wait();
            delete event;
        });
        ASSERT_TRUE(eventually([&] { return event->waiters() == 1; }));
        event->signal();
    }
}

TEST(CriticalSection, LetsItsHolderInAgainAndExcludesOthersUntilItsLastLeave) {
    tuplink::CriticalSection section;
    section.enter();
    EXPECT_TRUE(section.try_enter());
    section.leave();
    std::thread([&] { EXPECT_FALSE(section.try_enter()); }).join();
    section.leave();
    std::thread([&] {
        EXPECT_TRUE(section.try_enter());
        section.leave();
    }).join();

    long counter = 0;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 5000; ++i) {
                    std::lock_guard<tuplink::CriticalSection> guard(section);
                    ++counter;
                }
            });
        }
    }
    EXPECT_EQ(counter, 20000);
}

class Tracked : public tuplink::RefObject {
  public:
    explicit Tracked(std::atomic<int>& destroyed) : destroyed_(destroyed) {}

  private:
    ~Tracked() override { ++destroyed_; }
    std::atomic<int>& destroyed_;
};

TEST(RefObject, IsDestroyedOnceWhenItsLastReferenceGoesOnAnyThread) {
    std::atomic<int> destroyed{0};
    for (int round = 1; round <= 20; ++round) {
        tuplink::AutoRef<Tracked> shared(new Tracked(destroyed));
        EXPECT_EQ(tuplink::AutoRef<tuplink::RefObject>(shared)->ref_count(), 2u);
        {
            std::vector<std::jthread> threads;
            for (int t = 0; t < 4; ++t) {
                threads.emplace_back([copy = shared] { tuplink::AutoRef<Tracked> more = copy; });
            }
            EXPECT_EQ(destroyed.load(), round - 1);
            shared.reset();
        }
        EXPECT_EQ(destroyed.load(), round);
    }
}

TEST(TimePeriod, AddsSubtractsAndComparesWithoutOverflowing) {
    EXPECT_EQ(TimePeriod(1, 250, true) - ms(400), ms(850));
    EXPECT_LT(ms(49), ms(50));
    const TimePeriod forever(0, LLONG_MAX, true);
    EXPECT_EQ(forever + forever, forever);
    EXPECT_GT(forever - TimePeriod(0, LLONG_MAX, false), ms(0));
    const tuplink::TimeDate now = tuplink::TimeDate::now();
    EXPECT_EQ(now + ms(250) - now, ms(250));
}

}  // namespace

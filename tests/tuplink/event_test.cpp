#include "tuplink/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/eventually.h"

namespace {

using test_support::eventually;
using tuplink::Event;
using tuplink::TimePeriod;

const TimePeriod kNoWait(0, 0, true);

TimePeriod milliseconds(long long count) {
    return TimePeriod(0, count, true);
}

// Threads that each wait once on an event without limit and count how many got through.
class BlockedWaiters {
  public:
    BlockedWaiters(Event& event, int count) {
        for (int i = 0; i < count; ++i) {
            threads_.emplace_back([this, &event] {
                if (event.wait()) {
                    ++passed_;
                }
            });
        }
    }
    ~BlockedWaiters() {
        for (std::thread& thread : threads_) {
            thread.join();
        }
    }
    int passed() const { return passed_.load(); }

  private:
    std::atomic<int> passed_{0};
    std::vector<std::thread> threads_;
};

TEST(AutoResetEvent, KeepsOneSignalGivenWhileNobodyWaitsForTheNextWait) {
    Event event(true);
    event.signal();
    event.signal();
    EXPECT_TRUE(event.wait(kNoWait));
    EXPECT_FALSE(event.wait(kNoWait)) << "signals kept while nobody waits collapse into one";
}

TEST(AutoResetEvent, EachSignalLetsExactlyOneBlockedWaiterThrough) {
    Event event(true);
    BlockedWaiters waiters(event, 3);
    ASSERT_TRUE(eventually([&] { return event.waiters() == 3; }));

    event.signal();
    event.signal();
    ASSERT_TRUE(eventually([&] { return waiters.passed() == 2; }));
    EXPECT_EQ(event.waiters(), 1u);

    event.signal();
    ASSERT_TRUE(eventually([&] { return waiters.passed() == 3; }));
    EXPECT_FALSE(event.wait(kNoWait)) << "a signal that released a waiter must not be kept";
}

TEST(AutoResetEvent, TimedWaitGivesFalseOnceItsTimeIsUp) {
    Event event(true);
    const double taken =
        test_support::millisecondsTaken([&] { EXPECT_FALSE(event.wait(milliseconds(20))); });
    EXPECT_GE(taken, 19.0);
    EXPECT_EQ(event.waiters(), 0u);
}

// Waiters that keep timing out after a millisecond race every signal; each signal must still
// let exactly one wait through, never vanish with a waiter that gave up.
TEST(AutoResetEvent, NoSignalIsLostToAWaiterThatTimesOut) {
    Event event(true);
    std::atomic<int> passed{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i) {
        waiters.emplace_back([&] {
            while (!done) {
                if (event.wait(milliseconds(1))) {
                    ++passed;
                }
            }
        });
    }
    const int signals = 300;
    bool allPassed = true;
    for (int i = 1; i <= signals && allPassed; ++i) {
        event.signal();
        allPassed = eventually([&] { return passed.load() >= i; }, std::chrono::seconds(5));
    }
    done = true;
    for (std::thread& waiter : waiters) {
        waiter.join();
    }
    EXPECT_TRUE(allPassed);
    EXPECT_EQ(passed.load(), signals);
}

TEST(AutoResetEvent, ReleasedWaiterMayDestroyTheEventAtOnce) {
    for (int round = 0; round < 100; ++round) {
        auto* event = new Event(true);
        std::thread waiter([event] {
            event->wait();
            delete event;
        });
        ASSERT_TRUE(eventually([&] { return event->waiters() == 1; }));
        event->signal();
        waiter.join();
    }
}

TEST(ManualResetEvent, LetsEveryWaitThroughUntilReset) {
    Event event(false);
    {
        BlockedWaiters waiters(event, 3);
        ASSERT_TRUE(eventually([&] { return event.waiters() == 3; }));
        event.signal();
        ASSERT_TRUE(eventually([&] { return waiters.passed() == 3; }));
    }
    EXPECT_TRUE(event.wait(kNoWait));
    event.reset();
    EXPECT_FALSE(event.wait(kNoWait));
}

TEST(EventValidity, ClosedEventRefusesEverythingUntilCreatedAgain) {
    Event event(true);
    EXPECT_TRUE(event.is_valid());
    event.signal();
    event.close();
    EXPECT_FALSE(event.is_valid());
    EXPECT_FALSE(event.signal());
    EXPECT_FALSE(event.wait());

    EXPECT_TRUE(event.create());
    EXPECT_TRUE(event.is_valid());
    EXPECT_FALSE(event.wait(kNoWait)) << "a new event starts unsignalled";
    EXPECT_TRUE(event.signal());
    EXPECT_TRUE(event.wait(kNoWait));
}

}  // namespace

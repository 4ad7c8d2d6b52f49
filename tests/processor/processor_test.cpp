#include "sc_api/processor.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "sc_api/scd.h"
#include "support/eventually.h"
#include "support/test_actions.h"

// Under ThreadSanitizer, a program that exits while any other thread still exists sleeps a
// second first; the exit test measures the program's exit, not that pause.
extern "C" const char* __tsan_default_options() {
    return "atexit_sleep_ms=0";
}

namespace {

using test_support::countingAction;
using test_support::eventually;
using test_support::Gate;
using namespace lattix::lx_tuplink;

void postTimes(Processor& processor, const ActionRef& action, int times) {
    for (int i = 0; i < times; ++i) {
        processor.post(action);
    }
}

// Makes sure `processor` has at least `workers` idle workers. A post may find each worker once
// between taking an action and leaving the idle count: twice as many posts as workers suffice.
void startWorkers(Processor& processor, unsigned workers) {
    Gate gate;
    postTimes(processor, gate.action, 2 * static_cast<int>(workers));
    ASSERT_TRUE(eventually([&] { return gate->started() >= static_cast<int>(workers); }));
    gate->open();
    ASSERT_TRUE(processor.wait(gate.action, 0));
}

TEST(Processor, RunsAnActionOncePerPostingAndWaitsForTheLast) {
    Processor processor(3);
    EXPECT_EQ(processor.workerCount(), 0u);
    startWorkers(processor, 3);
    Gate gate;
    postTimes(processor, gate.action, 3);
    ASSERT_TRUE(eventually([&] { return gate->started() == 3; }));
    EXPECT_EQ(processor.workerCount(), 3u);
    gate->letThrough(2);
    ASSERT_TRUE(eventually([&] { return gate->finished() == 2; }));
    EXPECT_FALSE(processor.wait(gate.action, 20)) << "the third run is not complete";
    gate->letThrough(1);
    EXPECT_TRUE(processor.wait(gate.action, 0));
    EXPECT_EQ(gate->finished(), 3);
}

TEST(Processor, CompletesThrowingActionsAndWaitsTrueOnceNotQueuedFalseOnTimeOut) {
    Processor processor(1);
    auto throwing = countingAction([] { throw std::runtime_error("failed"); });
    auto next = countingAction();
    EXPECT_TRUE(processor.wait(next, 0)) << "never posted";
    ActionList actions;
    for (const ActionRef& action :
         {ActionRef(throwing), ActionRef(countingAction([] { throw 7; })), ActionRef(next)}) {
        actions.add(action);
    }
    processor.post(actions);
    EXPECT_TRUE(next->wait(processor, 0));
    EXPECT_TRUE(processor.wait(throwing, 1)) << "complete";
    EXPECT_EQ(next->executions(), 1);
    EXPECT_EQ(processor.workerCount(), 1u);

    Gate gate;
    processor.post(gate.action);
    processor.post(actions);
    EXPECT_FALSE(processor.wait(gate.action, 30));
    EXPECT_TRUE(actions.wait(processor, 10)) << "a list's wait is true whatever the single waits";
}

TEST(ProcessorStop, CancelsPendingActionsAndWaitsForRunningOnes) {
    auto processor = std::make_unique<Processor>(1);
    Gate gate;
    auto pending = countingAction();
    processor->post(gate.action);
    ASSERT_TRUE(eventually([&] { return gate->started() == 1; }));
    processor->post(pending);
    std::thread destroyer([&] { processor.reset(); });
    EXPECT_TRUE(eventually([&] { return pending->isCancelled() && gate->isCancelled(); }));
    gate->open();
    destroyer.join();
    EXPECT_EQ(gate->finished(), 1);
    EXPECT_EQ(pending->executions(), 0);
}

// Kills the process (SIGALRM) unless it has ended 450 ms from now; registered with atexit, it
// runs just before the static objects, the library's processor among them, are destroyed.
void failUnlessExitEndsSoon() {
    itimerval timer{};
    timer.it_value.tv_usec = 450000;
    setitimer(ITIMER_REAL, &timer, nullptr);
}

// Idle workers must leave when told, not at their next wake.
TEST(LibraryProcessorDeathTest, ProgramThatUsedItExitsPromptly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            startWorkers(SCD::getProcessor(), 16);
            std::atexit(failUnlessExitEndsSoon);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

constexpr int kPosters = 8;
constexpr int kActionsPerPoster = 250;

// The tickets run when kPosters threads post kActionsPerPoster actions each, every fifth twice;
// `inOrder`, they take tickets and post under one lock, making ticket order the queue order.
std::vector<int> ticketsRun(unsigned workers, bool inOrder) {
    Processor processor(workers);
    std::mutex ticketLock, ranLock;
    std::vector<int> ran;
    int nextTicket = 0;
    {
        std::vector<std::jthread> posters;
        for (int poster = 0; poster < kPosters; ++poster) {
            posters.emplace_back([&, poster] {
                ActionList list;
                for (int i = 0; i < kActionsPerPoster; ++i) {
                    std::unique_lock<std::mutex> guard(ticketLock, std::defer_lock);
                    if (inOrder) {
                        guard.lock();
                    }
                    const int ticket = inOrder ? nextTicket++ : poster * kActionsPerPoster + i;
                    auto action = countingAction([&, ticket] {
                        std::lock_guard<std::mutex> ranGuard(ranLock);
                        ran.push_back(ticket);
                    });
                    list.add(action);
                    postTimes(processor, action, ticket % 5 == 0 ? 2 : 1);
                }
                list.wait(processor, 0);
            });
        }
    }
    return ran;
}

TEST(ProcessorStress, ManyPostersLoseNoPostingAndRunNoneTwiceInQueueOrderOnOneWorker) {
    std::vector<int> expected;
    for (int ticket = 0; ticket < kPosters * kActionsPerPoster; ++ticket) {
        expected.insert(expected.end(), ticket % 5 == 0 ? 2 : 1, ticket);
    }
    EXPECT_EQ(ticketsRun(1, true), expected);
    std::vector<int> ran = ticketsRun(16, false);
    std::sort(ran.begin(), ran.end());
    EXPECT_EQ(ran, expected);
}

// The worker running the parent leaves the idle count before it takes the parent, so that the
// child it posts and waits for gets a worker of its own.
TEST(ProcessorStress, ActionMayPostToItsOwnProcessorAndWait) {
    Processor processor(16);
    auto child = countingAction();
    auto parent = countingAction([&] {
        processor.post(child);
        child->wait(processor, 0);
    });
    processor.post(parent);
    EXPECT_TRUE(parent->wait(processor, 0));
    EXPECT_EQ(child->executions(), 1);
}

}  // namespace

#include "sc_api/processor.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <cstdlib>
#include <memory>
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

using test_support::CountingAction;
using test_support::eventually;
using test_support::FunctionAction;
using test_support::makeAction;
using namespace lattix::lx_tuplink;

template <class T>
void postTimes(Processor& processor, const tuplink::AutoRef<T>& action, int times) {
    for (int i = 0; i < times; ++i) {
        processor.post(action);
    }
}

// Makes sure `processor` has at least `workers` workers, all idle again on return. Posting a
// blocking action twice as often starts that many (each post starts one unless a worker is
// caught between taking an action and leaving the idle count, and each worker is caught at
// most once, as it takes one blocking action at most).
void startWorkers(Processor& processor, unsigned workers) {
    test_support::Gates gates;
    auto gated = gates.make();
    postTimes(processor, gated, 2 * static_cast<int>(workers));
    ASSERT_TRUE(eventually([&] { return gated->started() >= static_cast<int>(workers); }));
    gated->open();
    ASSERT_TRUE(processor.wait(gated, 0));
}

// Destroys a processor on another thread; the test meanwhile lets what it waits for finish.
class Destroyer {
  public:
    explicit Destroyer(std::unique_ptr<Processor> processor)
        : thread_([processor = std::move(processor)]() mutable { processor.reset(); }) {}
    ~Destroyer() { join(); }
    void join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

  private:
    std::thread thread_;
};

TEST(ProcessorWorkers, NoneStartsBeforeTheFirstPost) {
    Processor processor(16);
    EXPECT_EQ(processor.workerCount(), 0u);
    auto action = makeAction<CountingAction>();
    processor.post(action);
    EXPECT_TRUE(processor.wait(action, 0));
    EXPECT_EQ(processor.workerCount(), 1u);
}

TEST(ProcessorWorkers, QuickPostsStartWorkersUpToTheLimitAndNoMore) {
    Processor processor(16);
    test_support::Gates gates;
    auto gated = gates.make();
    postTimes(processor, gated, 48);  // enough for sixteen workers (see startWorkers)
    ASSERT_TRUE(eventually([&] { return gated->started() == 16; }));
    EXPECT_EQ(processor.workerCount(), 16u);
    gated->open();
    EXPECT_TRUE(processor.wait(gated, 0));
    EXPECT_EQ(gated->finished(), 48);
    EXPECT_EQ(processor.workerCount(), 16u);
}

TEST(ProcessorWorkers, LimitZeroLetsWorkersOutnumberSixteen) {
    Processor processor(0);
    test_support::Gates gates;
    auto gated = gates.make();
    postTimes(processor, gated, 40);  // enough for twenty workers (see startWorkers)
    ASSERT_TRUE(eventually([&] { return gated->started() >= 20; }));
    EXPECT_GT(processor.workerCount(), 16u);
}

TEST(ProcessorOrder, OneWorkerTakesActionsInPostingOrder) {
    Processor processor(1);
    test_support::Gates gates;
    auto holder = gates.make();
    processor.post(holder);
    ASSERT_TRUE(eventually([&] { return holder->started() == 1; }));

    test_support::ExecutionLog log;
    ActionList actions;
    std::vector<int> expected;
    for (int label = 0; label < 100; ++label) {
        actions.add(log.action(label));
        expected.push_back(label);
    }
    processor.post(actions);
    holder->open();
    EXPECT_TRUE(actions.wait(processor, 0));
    EXPECT_EQ(log.labels(), expected);
}

TEST(ProcessorRepeatedPosting, ActionPostedThreeTimesIsQueuedUntilItsLastRunCompletes) {
    Processor processor(16);
    startWorkers(processor, 3);
    test_support::Gates gates;
    auto gated = gates.make();
    ActionList threeTimes;
    threeTimes.add(gated);
    threeTimes.add(gated);
    threeTimes.add(gated);
    processor.post(threeTimes);
    ASSERT_TRUE(eventually([&] { return gated->started() == 3; })) << "all three run at once";

    gated->letThrough(2);
    ASSERT_TRUE(eventually([&] { return gated->finished() == 2; }));
    EXPECT_FALSE(processor.wait(gated, 20)) << "the third run is not complete";

    gated->letThrough(1);
    EXPECT_TRUE(processor.wait(gated, 0));
    EXPECT_EQ(gated->finished(), 3);
}

TEST(ProcessorFailures, ThrowingActionIsCompleteAndItsWorkerRunsTheNext) {
    Processor processor(1);
    auto throwsError = makeAction<FunctionAction>([] { throw std::runtime_error("failed"); });
    auto throwsInt = makeAction<FunctionAction>([] { throw 7; });
    auto next = makeAction<CountingAction>();
    processor.post(throwsError);
    processor.post(throwsInt);
    processor.post(next);
    EXPECT_TRUE(processor.wait(throwsError, 0));
    EXPECT_TRUE(processor.wait(throwsInt, 0));
    EXPECT_TRUE(processor.wait(next, 0));
    EXPECT_EQ(next->executions(), 1);
    EXPECT_EQ(processor.workerCount(), 1u);
}

TEST(ProcessorFailures, CancelledActionDoesNotExecute) {
    Processor processor(2);
    auto action = makeAction<CountingAction>();
    action->cancel();
    processor.post(action);
    EXPECT_TRUE(processor.wait(action, 0));
    EXPECT_EQ(action->executions(), 0);
}

TEST(ProcessorWait, ActionNeverPostedOrAlreadyCompleteIsNotQueued) {
    Processor processor(2);
    auto action = makeAction<CountingAction>();
    EXPECT_TRUE(processor.wait(action, 0));
    processor.post(action);
    ASSERT_TRUE(action->wait(processor, 0));
    EXPECT_TRUE(processor.wait(action, 0));
    EXPECT_EQ(action->executions(), 1);
}

TEST(ProcessorWait, TimedWaitGivesFalseWhileTheActionRunsAndTrueOnceItEnds) {
    Processor processor(2);
    test_support::Gates gates;
    auto gated = gates.make();
    processor.post(gated);
    const double taken =
        test_support::millisecondsTaken([&] { EXPECT_FALSE(processor.wait(gated, 30)); });
    EXPECT_GE(taken, 29.0);

    std::thread opener([&] { gated->open(); });
    EXPECT_TRUE(gated->wait(processor, 60000));
    opener.join();
}

TEST(ProcessorWait, ActionListWaitGivesTrueEvenWhenASingleWaitTimedOut) {
    Processor processor(2);
    test_support::Gates gates;
    auto gated = gates.make();
    ActionList actions;
    actions.add(gated);
    actions.add(makeAction<CountingAction>());
    processor.post(actions);
    EXPECT_TRUE(actions.wait(processor, 10));
    EXPECT_FALSE(processor.wait(gated, 1));
}

TEST(ProcessorStop, PendingActionsNeverRun) {
    auto processor = std::make_unique<Processor>(1);
    test_support::Gates gates;
    auto running = gates.make();
    auto pending = makeAction<CountingAction>();
    processor->post(running);
    ASSERT_TRUE(eventually([&] { return running->started() == 1; }));
    processor->post(pending);

    Destroyer destroyer(std::move(processor));
    EXPECT_TRUE(eventually([&] { return pending->isCancelled(); }));
    EXPECT_TRUE(running->isCancelled()) << "running actions are told, not interrupted";
    running->open();
    destroyer.join();
    EXPECT_EQ(running->finished(), 1);
    EXPECT_EQ(pending->executions(), 0);
}

TEST(ProcessorStop, ActionPostedWhileStoppingIsCancelledInsteadOfQueued) {
    auto processor = std::make_unique<Processor>(2);
    test_support::Gates gates;
    Processor& target = *processor;
    auto gate = gates.make();
    auto late = makeAction<CountingAction>();
    auto poster = makeAction<FunctionAction>([&] {
        gate->process();
        target.post(late);
        target.wait(late, 0);
    });
    processor->post(poster);
    ASSERT_TRUE(eventually([&] { return gate->started() == 1; }));

    Destroyer destroyer(std::move(processor));
    EXPECT_TRUE(eventually([&] { return poster->isCancelled(); }));
    gate->open();
    destroyer.join();
    EXPECT_TRUE(late->isCancelled());
    EXPECT_EQ(late->executions(), 0);
}

TEST(ProcessorStop, DestroyingAProcessorWithIdleWorkersIsPrompt) {
    auto processor = std::make_unique<Processor>(8);
    startWorkers(*processor, 8);
    const double taken = test_support::millisecondsTaken([&] { processor.reset(); });
    EXPECT_LT(taken, 450.0) << "idle workers must leave when told, not at their next wake";
}

TEST(LibraryProcessor, IsOneProcessorThatRunsActions) {
    Processor& processor = SCD::getProcessor();
    EXPECT_EQ(&processor, &SCD::getProcessor());
    auto action = makeAction<CountingAction>();
    processor.post(action);
    EXPECT_TRUE(processor.wait(action, 0));
    EXPECT_EQ(action->executions(), 1);
}

// Kills the process (SIGALRM) unless it has ended 450 ms from now; registered with atexit, it
// runs just before the static objects, the library's processor among them, are destroyed.
void failUnlessExitEndsSoon() {
    itimerval timer{};
    timer.it_value.tv_usec = 450000;
    setitimer(ITIMER_REAL, &timer, nullptr);
}

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

}  // namespace

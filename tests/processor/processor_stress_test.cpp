// Many threads posting to one processor at once: no action is lost, none runs twice, and the
// queue hands actions out first in, first out.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sc_api/processor.h"
#include "support/test_actions.h"

namespace {

using test_support::CountingAction;
using test_support::ExecutionLog;
using test_support::FunctionAction;
using test_support::makeAction;
using namespace lattix::lx_tuplink;

constexpr int kPosters = 8;
constexpr int kActionsPerPoster = 250;

// Runs `post(poster, actions)` on kPosters threads at once, each filling its own list, then
// waits for every list on the calling thread.
template <class PostFunction>
void postFromManyThreads(Processor& processor, PostFunction post) {
    std::vector<ActionList> lists(kPosters);
    std::vector<std::thread> posters;
    for (int poster = 0; poster < kPosters; ++poster) {
        posters.emplace_back([&, poster] { post(poster, lists[poster]); });
    }
    for (std::thread& thread : posters) {
        thread.join();
    }
    for (const ActionList& list : lists) {
        list.wait(processor, 0);
    }
}

TEST(ProcessorStress, OneWorkerRunsActionsInTheOrderTheyEnteredTheQueue) {
    Processor processor(1);
    ExecutionLog log;
    std::mutex ticketLock;  // makes the ticket order the queue order
    int nextTicket = 0;
    postFromManyThreads(processor, [&](int, ActionList& list) {
        for (int i = 0; i < kActionsPerPoster; ++i) {
            std::lock_guard<std::mutex> lock(ticketLock);
            auto action = log.action(nextTicket++);
            list.add(action);
            processor.post(action);
        }
    });
    std::vector<int> expected(kPosters * kActionsPerPoster);
    for (int ticket = 0; ticket < static_cast<int>(expected.size()); ++ticket) {
        expected[ticket] = ticket;
    }
    EXPECT_EQ(log.labels(), expected);
}

TEST(ProcessorStress, OneWorkerKeepsEachPostersOrderUnderFreePosting) {
    Processor processor(1);
    ExecutionLog log;
    postFromManyThreads(processor, [&](int poster, ActionList& list) {
        for (int i = 0; i < kActionsPerPoster; ++i) {
            auto action = log.action(poster * kActionsPerPoster + i);
            list.add(action);
            processor.post(action);
        }
    });
    const std::vector<int> labels = log.labels();
    ASSERT_EQ(labels.size(), static_cast<size_t>(kPosters * kActionsPerPoster));
    std::vector<int> lastSeen(kPosters, -1);
    for (const int label : labels) {
        const int poster = label / kActionsPerPoster;
        EXPECT_GT(label % kActionsPerPoster, lastSeen[poster]) << "label " << label;
        lastSeen[poster] = label % kActionsPerPoster;
    }
    for (const int last : lastSeen) {
        EXPECT_EQ(last, kActionsPerPoster - 1);
    }
}

TEST(ProcessorStress, ManyWorkersRunEveryPostingExactlyOnce) {
    Processor processor(16);
    std::vector<std::vector<tuplink::AutoRef<CountingAction>>> actions(kPosters);
    postFromManyThreads(processor, [&](int poster, ActionList& list) {
        for (int i = 0; i < kActionsPerPoster; ++i) {
            auto action = makeAction<CountingAction>();
            actions[poster].push_back(action);
            list.add(action);
            // Every fifth action is posted twice: it must then run exactly twice.
            const int postings = i % 5 == 0 ? 2 : 1;
            for (int posting = 0; posting < postings; ++posting) {
                processor.post(action);
            }
        }
    });
    for (const auto& posterActions : actions) {
        for (size_t i = 0; i < posterActions.size(); ++i) {
            EXPECT_EQ(posterActions[i]->executions(), i % 5 == 0 ? 2 : 1);
        }
    }
    EXPECT_LE(processor.workerCount(), 16u);
}

TEST(ProcessorStress, ActionsMayPostToTheirOwnProcessorAndWait) {
    Processor processor(16);
    std::atomic<int> childRuns{0};
    ActionList parents;
    for (int parent = 0; parent < 4; ++parent) {
        parents.add(makeAction<FunctionAction>([&] {
            ActionList children;
            for (int child = 0; child < 10; ++child) {
                children.add(makeAction<FunctionAction>([&] { ++childRuns; }));
            }
            processor.post(children);
            children.wait(processor, 0);
        }));
    }
    processor.post(parents);
    parents.wait(processor, 0);
    EXPECT_EQ(childRuns.load(), 40);
}

}  // namespace

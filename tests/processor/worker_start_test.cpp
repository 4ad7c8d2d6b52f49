// Worker starts checked on a processor state driven directly: no action is ever queued, so the
// workers stay idle and every count below is exact.
#include <gtest/gtest.h>

#include "processor/processor_state.h"

namespace {

using lattix::lx_tuplink::ProcessorState;

class IdleWorkers {
  public:
    explicit IdleWorkers(unsigned maxThreads) : state_(new ProcessorState(maxThreads)) {}
    ~IdleWorkers() { state_->shutdown(); }

    // Worker count after a post that found `pending` actions queued.
    unsigned afterPostWith(int pending) {
        state_->ensureThreads(pending);
        return state_->workerCount();
    }
    int idle() { return state_->idleCount(); }

  private:
    tuplink::AutoRef<ProcessorState> state_;
};

TEST(WorkerStart, FirstPostStartsOneWorkerThatCountsAsIdle) {
    IdleWorkers workers(16);
    EXPECT_EQ(workers.afterPostWith(1), 1u);
    EXPECT_EQ(workers.idle(), 1);
}

TEST(WorkerStart, NoWorkerStartsWhileIdleWorkersCoverThePendingActions) {
    IdleWorkers workers(16);
    EXPECT_EQ(workers.afterPostWith(1), 1u);
    EXPECT_EQ(workers.afterPostWith(1), 1u);
    EXPECT_EQ(workers.afterPostWith(2), 2u);
    EXPECT_EQ(workers.afterPostWith(2), 2u);
    EXPECT_EQ(workers.afterPostWith(0), 2u);
}

TEST(WorkerStart, EachPostStartsAtMostOneWorker) {
    IdleWorkers workers(16);
    EXPECT_EQ(workers.afterPostWith(10), 1u);
    EXPECT_EQ(workers.afterPostWith(10), 2u);
    EXPECT_EQ(workers.afterPostWith(10), 3u);
    EXPECT_EQ(workers.idle(), 3);
}

TEST(WorkerStart, NeverMoreWorkersThanTheLimit) {
    IdleWorkers workers(3);
    for (int post = 0; post < 3; ++post) {
        workers.afterPostWith(10);
    }
    EXPECT_EQ(workers.afterPostWith(10), 3u);
    EXPECT_EQ(workers.afterPostWith(10), 3u);
}

TEST(WorkerStart, LimitZeroMeansNoLimit) {
    IdleWorkers workers(0);
    for (int post = 0; post < 19; ++post) {
        workers.afterPostWith(100);
    }
    EXPECT_EQ(workers.afterPostWith(100), 20u);
}

}  // namespace

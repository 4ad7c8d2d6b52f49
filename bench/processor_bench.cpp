// Costs of the library's task processor: one post-and-wait round trip, and a batch of 1,000
// actions posted as one list and waited for.
#include <benchmark/benchmark.h>

#include <atomic>

#include "sc_api/processor.h"
#include "sc_api/scd.h"

namespace {

using lattix::lx_tuplink::Action;
using lattix::lx_tuplink::ActionList;
using lattix::lx_tuplink::Processor;

class TrivialAction : public Action {
  protected:
    void execute() override { runs_.fetch_add(1, std::memory_order_relaxed); }

  private:
    std::atomic<long> runs_{0};
};

void postAndWaitOneAction(benchmark::State& state) {
    Processor& processor = SCD::getProcessor();
    const tuplink::AutoRef<TrivialAction> action(new TrivialAction);
    for (auto _ : state) {
        processor.post(action);
        processor.wait(action, 0);
    }
}
BENCHMARK(postAndWaitOneAction)->UseRealTime()->Unit(benchmark::kMicrosecond);

void postAndWaitBatchOf1000(benchmark::State& state) {
    Processor& processor = SCD::getProcessor();
    ActionList batch;
    for (int i = 0; i < 1000; ++i) {
        batch.add(tuplink::AutoRef<TrivialAction>(new TrivialAction));
    }
    for (auto _ : state) {
        processor.post(batch);
        batch.wait(processor, 0);
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(postAndWaitBatchOf1000)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

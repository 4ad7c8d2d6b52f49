#include "scd/reader/stream_summation.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "api/sample_buffer.h"
#include "sc_api/processor.h"
#include "sc_api/scd.h"

namespace {

using lattix::lx_tuplink::Action;
using lattix::lx_tuplink::ActionList;
using lattix::lx_tuplink::ActionRef;

constexpr unsigned kMostWorkers = 16;
// Sums of one extra worker at most; beyond it the caller sums alone.
constexpr std::uint64_t kWorkerSumBudgetBytes = 64u << 20;

// What the participants of one summation share; lives on the caller's stack.
struct Summation {
    const CodedStreamFile* file;
    const std::vector<StreamPlace>* places;
    std::size_t valueCount;
    std::atomic<std::size_t> next{0};                                     // next stream to take
    std::atomic<int> failure{static_cast<int>(StreamOutcome::kDecoded)};  // first failure

    // Adds streams into sums until none is left or a participant failed.
    void run(std::uint64_t* sums) {
        CodedStreamReader& reader = CodedStreamReader::ofThisThread();
        for (;;) {
            if (failure.load(std::memory_order_relaxed) !=
                static_cast<int>(StreamOutcome::kDecoded)) {
                return;
            }
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= places->size()) {
                return;
            }
            const StreamOutcome outcome = reader.addInto(*file, (*places)[i], sums, valueCount);
            if (outcome != StreamOutcome::kDecoded) {
                int expected = static_cast<int>(StreamOutcome::kDecoded);
                failure.compare_exchange_strong(expected, static_cast<int>(outcome));
                return;
            }
        }
    }
};

// A participant on a worker, with sums of its own (empty when they could not be allocated).
class SummationWorker : public Action {
  public:
    SummationWorker(Summation& summation)
        : summation_(&summation),
          sums_(allocateZeroedSamples<std::uint64_t>(summation.valueCount)) {}

    const std::uint64_t* sums() const { return sums_.get(); }

  protected:
    void execute() override {
        if (sums_) {
            summation_->run(sums_.get());
        }
    }

  private:
    Summation* summation_;
    std::unique_ptr<std::uint64_t[]> sums_;  // valueCount sums
};

unsigned extraWorkers(std::size_t streams, std::size_t valueCount) {
    if (std::uint64_t{valueCount} * sizeof(std::uint64_t) > kWorkerSumBudgetBytes) {
        return 0;
    }
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
    return static_cast<unsigned>(std::min<std::size_t>(cores, streams) - 1);
}

SCErrorCode resultOf(int outcome) {
    switch (static_cast<StreamOutcome>(outcome)) {
        case StreamOutcome::kDecoded:
            return SC_OK;
        case StreamOutcome::kReadFailed:
            return SC_FILE_ERROR;
        case StreamOutcome::kOutside:
        case StreamOutcome::kDamaged:
            break;
    }
    return SC_FORMAT_ERROR;
}

}  // namespace

SCErrorCode sumStreams(const CodedStreamFile& file, const std::vector<StreamPlace>& places,
                       std::size_t valueCount, std::uint64_t* sums) {
    if (places.empty()) {
        return SC_OK;
    }
    Summation summation;
    summation.file = &file;
    summation.places = &places;
    summation.valueCount = valueCount;
    std::vector<tuplink::AutoRef<SummationWorker>> workers;
    ActionList posted;
    const unsigned extra = extraWorkers(places.size(), valueCount);
    for (unsigned i = 0; i < extra; ++i) {
        workers.emplace_back(new SummationWorker(summation));
        posted.add(ActionRef(workers.back()));
    }
    SCD::getProcessor().post(posted);
    summation.run(sums);
    posted.wait(SCD::getProcessor(), 0);
    for (const auto& worker : workers) {
        const std::uint64_t* workerSums = worker->sums();
        if (workerSums != nullptr) {
            for (std::size_t p = 0; p < valueCount; ++p) {
                sums[p] += workerSums[p];
            }
        }
    }
    return resultOf(summation.failure.load());
}

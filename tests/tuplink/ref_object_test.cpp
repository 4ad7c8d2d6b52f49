#include "tuplink/ref_object.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tuplink/base_list.h"

namespace {

using tuplink::AutoRef;
using tuplink::BaseList;

// Counts its destructions in a counter owned by the test.
class Tracked : public tuplink::RefObject {
  public:
    explicit Tracked(std::atomic<int>& destroyed) : destroyed_(destroyed) {}

  private:
    ~Tracked() override { ++destroyed_; }

    std::atomic<int>& destroyed_;
};

class ReferenceCounting : public ::testing::Test {
  protected:
    AutoRef<Tracked> make() { return AutoRef<Tracked>(new Tracked(destroyed)); }

    std::atomic<int> destroyed{0};
};

TEST_F(ReferenceCounting, ObjectLivesUntilItsLastReferenceIsDropped) {
    AutoRef<Tracked> first = make();
    {
        const AutoRef<Tracked> copy = first;
        const AutoRef<tuplink::RefObject> base = copy;
        EXPECT_EQ(first->ref_count(), 3u);
    }
    first.reset();
    EXPECT_EQ(destroyed.load(), 1);
}

TEST_F(ReferenceCounting, MovesAndAdoptionPassTheReferenceOnWithoutCounting) {
    AutoRef<Tracked> first = make();
    AutoRef<tuplink::RefObject> moved = std::move(first);
    EXPECT_FALSE(first);
    const AutoRef<tuplink::RefObject>& sameHolder = moved;
    moved = sameHolder;
    EXPECT_EQ(moved->ref_count(), 1u) << "assigning a holder to itself keeps its reference";

    tuplink::RefObject* raw = moved.detach();
    EXPECT_EQ(raw->ref_count(), 1u);
    AutoRef<tuplink::RefObject>::adopt(raw);
    EXPECT_EQ(destroyed.load(), 1);
}

TEST_F(ReferenceCounting, ReleasesOnManyThreadsDestroyTheObjectOnce) {
    for (int round = 0; round < 20; ++round) {
        AutoRef<Tracked> shared = make();
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([copy = shared]() mutable {
                for (int i = 0; i < 100; ++i) {
                    AutoRef<Tracked> more = copy;
                }
            });
        }
        shared.reset();
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    EXPECT_EQ(destroyed.load(), 20);
}

TEST_F(ReferenceCounting, ListEntriesHoldOneReferenceEach) {
    const AutoRef<Tracked> object = make();
    {
        BaseList<AutoRef<Tracked>> list;
        list.push_back(object);
        list.insert(list.end(), object);
        EXPECT_EQ(object->ref_count(), 3u);
        const auto next = list.erase(list.begin());
        EXPECT_EQ(next, list.begin());
        EXPECT_EQ(object->ref_count(), 2u);
        list.clear();
        EXPECT_EQ(object->ref_count(), 1u);
        list.push_back(object);
    }
    EXPECT_EQ(object->ref_count(), 1u) << "destroying a list releases its entries";
}

}  // namespace

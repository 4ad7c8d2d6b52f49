#include "sc_api/shared_ptr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Tracked {
    explicit Tracked(std::atomic<int>& destroyed) : destroyed(destroyed) {}
    ~Tracked() { ++destroyed; }
    std::atomic<int>& destroyed;
    static void free(Tracked* object) { delete object; }
};

using TrackedPtr = SharedPtr<Tracked, Tracked>;

TEST(SharedPtr, TheLastOfItsCopiesOnAnyThreadDestroysTheObjectOnce) {
    TrackedPtr empty(nullptr);
    EXPECT_EQ(TrackedPtr(empty).useCount(), 0u) << "null owns no count";

    std::atomic<int> destroyed{0};
    TrackedPtr first(new Tracked(destroyed));
    TrackedPtr second = first;
    first.release();
    TrackedPtr moved(std::move(second));
    moved.reset(moved.get());
    const TrackedPtr& self = moved;
    moved = self;
    EXPECT_EQ(moved.useCount(), 1u) << "reset or assignment to the same object changes nothing";
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([copy = moved] {
                for (int i = 0; i < 1000; ++i) {
                    TrackedPtr another = copy;
                }
            });
        }
    }
    EXPECT_EQ(moved.useCount(), 1u);
    EXPECT_EQ(destroyed, 0);
    moved = TrackedPtr(new Tracked(destroyed));
    EXPECT_EQ(destroyed, 1);
    moved.reset();
    EXPECT_EQ(destroyed, 2);
}

}  // namespace

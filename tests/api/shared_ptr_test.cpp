#include "sc_api/shared_ptr.h"

#include <gtest/gtest.h>

#include <thread>
#include <type_traits>
#include <vector>

#include "sc_api/uncopyable.h"

namespace {

// An object that counts its destructions.
struct Tracked {
    explicit Tracked(int* destroyed) : destroyed(destroyed) {}
    ~Tracked() { ++*destroyed; }
    int* destroyed;
};

struct DeleteTracked {
    static void free(Tracked* object) { delete object; }
};

using TrackedPtr = SharedPtr<Tracked, DeleteTracked>;

TEST(SharedPtr, MadeFromNullOwnsNoCount) {
    TrackedPtr empty(nullptr);
    TrackedPtr copy(empty);
    EXPECT_TRUE(copy.isNull());
    EXPECT_FALSE(copy);
    copy.release();
    EXPECT_EQ(empty.useCount(), 0u);
}

TEST(SharedPtr, TheLastOfItsCopiesDestroysTheObjectOnce) {
    int destroyed = 0;
    TrackedPtr first(new Tracked(&destroyed));
    TrackedPtr second = first;
    EXPECT_EQ(second->destroyed, &destroyed);
    first.release();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(second.useCount(), 1u);
    TrackedPtr moved(std::move(second));
    EXPECT_EQ(destroyed, 0);
    moved.reset(moved.get());
    EXPECT_EQ(destroyed, 0);
    moved.reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(SharedPtr, AssigningAnotherObjectReleasesTheOldOneAndTheSameChangesNothing) {
    int destroyedA = 0;
    int destroyedB = 0;
    TrackedPtr a(new Tracked(&destroyedA));
    TrackedPtr b(new Tracked(&destroyedB));
    a = b;
    EXPECT_EQ(destroyedA, 1);
    const TrackedPtr& self = a;
    a = self;
    a = b;
    EXPECT_EQ(b.useCount(), 2u);
    EXPECT_EQ(destroyedB, 0);
}

TEST(SharedPtr, CopiesMayBeReleasedOnSeveralThreads) {
    int destroyed = 0;
    TrackedPtr shared(new Tracked(&destroyed));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([copy = shared]() {
            for (int i = 0; i < 1000; ++i) {
                TrackedPtr another = copy;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(shared.useCount(), 1u);
    shared.release();
    EXPECT_EQ(destroyed, 1);
}

TEST(Uncopyable, ForbidsCopiesOfDerivedClasses) {
    struct Owner : Uncopyable {};
    EXPECT_FALSE(std::is_copy_constructible_v<Owner>);
    EXPECT_FALSE(std::is_copy_assignable_v<Owner>);
}

}  // namespace

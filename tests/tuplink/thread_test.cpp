#include "tuplink/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/eventually.h"
#include "tuplink/ref_object.h"

namespace {

// A counted thread that holds a reference to itself while it runs and drops it at the end of
// its body, as workers do.
class SelfOwningThread : public tuplink::Thread, public tuplink::RefObject {
  public:
    explicit SelfOwningThread(std::atomic<int>& destroyed) : destroyed_(destroyed) {}

    bool launch() {
        attach();
        return start();
    }

  protected:
    void run() override { tuplink::AutoRef<SelfOwningThread>::adopt(this); }

  private:
    ~SelfOwningThread() override { ++destroyed_; }

    std::atomic<int>& destroyed_;
};

TEST(Thread, CountedThreadIsDestroyedByItsOwnLastReference) {
    std::atomic<int> destroyed{0};
    {
        const tuplink::AutoRef<SelfOwningThread> thread(new SelfOwningThread(destroyed));
        ASSERT_TRUE(thread->launch());
        EXPECT_FALSE(thread->start()) << "a thread object starts once";
    }
    EXPECT_TRUE(test_support::eventually([&] { return destroyed.load() == 1; }));
}

}  // namespace

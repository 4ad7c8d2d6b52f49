#pragma once

#include <mutex>
#include <utility>

#include "tuplink/critical_section.h"

// The threading policy of the SCD writers: the state that their worker threads share is guarded
// by a tuplink::CriticalSection.
struct MultiThreadingPolicy {
    using Lock = tuplink::CriticalSection;
};

// A source of equal-sized items (spectra) for the run-length workers of the SCD writers.
class ItemProvider {
  public:
    // The position of an item among the provider's items, and its first value.
    using Item = std::pair<unsigned, const unsigned short*>;

    virtual ~ItemProvider() = default;

    // The next item, each item exactly once; (0, null) when none is left.
    virtual Item next() = 0;
    // Values per item.
    virtual unsigned itemSize() const = 0;
};

// The items of one buffer, handed out in order to any number of threads at once: `count` items
// of `itemSize` values each, back to back from `first`. The buffer must outlive the queue.
template <class ThreadingPolicy>
class ItemQueue : public ItemProvider {
  public:
    ItemQueue(const unsigned short* first, unsigned itemSize, unsigned count)
        : next_(first), itemSize_(itemSize), remaining_(count) {}

    Item next() override {
        std::lock_guard<typename ThreadingPolicy::Lock> guard(lock_);
        if (remaining_ == 0) {
            return Item(0, nullptr);
        }
        const Item item(position_, next_);
        next_ += itemSize_;
        --remaining_;
        ++position_;
        return item;
    }

    unsigned itemSize() const override { return itemSize_; }

  private:
    const unsigned short* next_;           // first value of the next item
    const unsigned itemSize_;              // values per item
    unsigned remaining_;                   // items not handed out yet
    unsigned position_ = 0;                // position of the next item
    typename ThreadingPolicy::Lock lock_;  // guards the three fields above
};

#include "tuplink/ref_object.h"

namespace tuplink {

RefObject::~RefObject() = default;

void RefObject::attach() {
    references_.fetch_add(1, std::memory_order_relaxed);
}

void RefObject::release() {
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete this;
    }
}

CriticalSection& RefObject::get_cs() {
    // Never destroyed: objects may still be released during static destruction.
    static CriticalSection* const shared = new CriticalSection;
    return *shared;
}

}  // namespace tuplink

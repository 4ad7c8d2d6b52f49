#include "tuplink/critical_section.h"

namespace tuplink {

void CriticalSection::enter() {
    mutex_.lock();
}

bool CriticalSection::try_enter() {
    return mutex_.try_lock();
}

void CriticalSection::leave() {
    mutex_.unlock();
}

}  // namespace tuplink

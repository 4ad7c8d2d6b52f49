#include "tuplink/critical_section.h"

namespace tuplink {

void CriticalSection::enter() { mutex_.lock(); }

void CriticalSection::leave() { mutex_.unlock(); }

}  // namespace tuplink

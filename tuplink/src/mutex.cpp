#include "tuplink/mutex.h"

namespace tuplink {

void Mutex::lock() {
    mutex_.lock();
}

bool Mutex::try_lock() {
    return mutex_.try_lock();
}

void Mutex::unlock() {
    mutex_.unlock();
}

}  // namespace tuplink

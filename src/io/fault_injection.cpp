#include "io/fault_injection.h"

#include <atomic>
#include <cerrno>

namespace fault_injection {
namespace {

std::atomic<bool> armed{false};           // counting (and maybe failing)
std::atomic<std::uint64_t> counted{0};    // operations since arming
std::atomic<std::uint64_t> failingAt{0};  // the operation that fails; 0 for none
std::atomic<int> failure{0};              // errno of the failing operation

}  // namespace

void failOperation(std::uint64_t n, int error) {
    counted.store(0);
    failingAt.store(n);
    failure.store(error);
    armed.store(true);
}

std::uint64_t disarm() {
    armed.store(false);
    failingAt.store(0);
    return counted.load();
}

void countOperations() {
    failOperation(0, 0);
}

bool operationFails() {
    if (!armed.load(std::memory_order_relaxed)) {
        return false;
    }
    const std::uint64_t n = counted.fetch_add(1) + 1;
    if (n != failingAt.load()) {
        return false;
    }
    errno = failure.load();
    return true;
}

}  // namespace fault_injection

#pragma once

#include <cstdint>

// A seam through which tests make the file streams fail on purpose. Every operation of an output
// stream that changes a file (write, positioned write, seek, truncate, sync) and every
// publication of a file under its final name is one counted operation; when armed, the n-th
// counted operation from the arming on fails as if the system had answered `error` (ENOSPC,
// EIO, ...): nothing is done, errno is set, the operation reports its failure. Disarmed (the
// default) the seam costs one relaxed atomic load per operation.
//
// Process-wide; tests arm it around one operation under test and disarm it after.
namespace fault_injection {

// Makes the n-th counted operation from now fail with `error` (n >= 1); resets the count.
void failOperation(std::uint64_t n, int error);
// Stops failing and counting; returns the number of operations counted since arming.
std::uint64_t disarm();
// Counts operations without failing any (to learn how many a run makes); resets the count.
void countOperations();

// For the streams: counts one operation; true when it must fail (errno is then set).
bool operationFails();

}  // namespace fault_injection

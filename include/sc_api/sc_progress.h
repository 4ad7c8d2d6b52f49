#pragma once

#include <cstdint>

#include "sc_api/export.h"

// Receives the progress of a long operation (conversion, import, integrity check) and may stop
// it. Calls come one at a time, from the calling thread or from a thread of the library.
class SC_API_EXPORT SCProgress {
  public:
    SCProgress() = default;
    SCProgress(const SCProgress&) = delete;
    SCProgress& operator=(const SCProgress&) = delete;
    virtual ~SCProgress();

    // `done` of `total` units of work are complete (done <= total; the unit is the operation's
    // own). Returning false asks the operation to stop: it then removes what it wrote and
    // reports SCProblem::INTERRUPTED.
    virtual bool advance(std::uint64_t done, std::uint64_t total) = 0;
};

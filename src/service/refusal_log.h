#pragma once

#include <string>

// Where the service reports refused calls: the callback set with SCService::setRefusalLog.
namespace refusal_log {

// Whether a callback is set (so callers may skip composing a line nobody reads).
bool enabled();
// Passes `line` to the callback, if one is set, followed by the identity of the client whose
// call runs on this thread (when a host runs one); exceptions of the callback are dropped.
void write(const std::string& line);

}  // namespace refusal_log

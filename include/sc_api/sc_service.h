#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "sc_api/export.h"

// Settings of the cube service "com.tarn.brix.mv.mv_svc", for the program that hosts it. The
// service, its interfaces "com.tarn.brix.mv.sc.sc_builder" and "com.tarn.brix.mv.sc.sc_cube"
// and their thirty methods register themselves with the middleware when the library loads; a
// tuplink::Host then serves them. These settings apply to every interface object of the
// process and may be changed at any time (calls already running keep the values they read).
class SC_API_EXPORT SCService {
  public:
    SCService() = delete;

    // The directory that confines the service: relative cube paths are taken against it, and
    // opening or starting a cube outside it (after "." and ".." segments are removed and the
    // symbolic links of the path's existing part are resolved) is refused. By default the
    // working directory at the first use. `directory` should be absolute; a relative one is
    // taken against the working directory.
    static void setRoot(const std::string& directory);
    static std::string root();

    // The largest reply a method may produce, in bytes (default 1 GiB). A call whose reply
    // would be larger answers the middleware's "too large" status before anything is
    // allocated.
    static void setMaxReplyBytes(std::uint64_t bytes);
    static std::uint64_t maxReplyBytes();

    // Receives one line for every call that is refused (any status but 1), naming the method,
    // the status and, where the service knows it, the reason and the client. Called on the
    // worker thread of the call; null (the default) logs nothing.
    static void setRefusalLog(std::function<void(const std::string&)> log);
};

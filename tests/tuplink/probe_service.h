#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "tuplink/interface.h"
#include "tuplink/service.h"

// A small service registered only in the tests, to exercise registration, dispatch and the
// transport: service "tuplink.test.svc" with interface "tuplink.test.probe" and its methods
//   echo      results = the arguments (moved, so blobs are not copied); answers 1
//   add       "sum" = "a" + "b" (missing ints read as 0); answers 1
//   count     "count" = calls of count on this interface object so far; answers it
//   fill      "buffer" = "size" bytes of value "byte"; answers 1
//   sleep     prints "sleeping MS" on the standard output, then waits "ms" milliseconds (at
//             most 10 s); answers 1
//   whoami    "pid" = the serving process, "instance" = the service instance name; answers 1
//   caller    "peer", "address", "user" = the caller as current_call() tells; -1 outside a
//             host
//   fail      throws
//   notify    one-way: adds 1 to the notification count, sends no reply
// and interface "tuplink.test.broken", whose factory makes nothing.
namespace probe {

inline constexpr const char* kService = "tuplink.test.svc";
inline constexpr const char* kInterface = "tuplink.test.probe";
inline constexpr const char* kBrokenInterface = "tuplink.test.broken";

class ProbeService : public tuplink::Service {
  public:
    ProbeService();

  protected:
    ~ProbeService() override;
};

class ProbeInterface : public tuplink::Interface {
  public:
    ProbeInterface();

    int count() { return ++calls_; }

  protected:
    ~ProbeInterface() override;

  private:
    std::atomic<int> calls_{0};  // calls of count so far
};

// What the host destroyed, in order: "interface <instance>" and "service <instance>".
std::vector<std::string> destruction_log();
void clear_destruction_log();
// One-way notifications received by this process.
int notifications();

}  // namespace probe

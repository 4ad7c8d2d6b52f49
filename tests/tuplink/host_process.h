#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace probe {

// The probe service served by tuplink_test_host in a process of its own.
class HostProcess {
  public:
    explicit HostProcess(std::vector<std::string> arguments = {"tcp://127.0.0.1:*"})
        : process_(TUPLINK_TEST_HOST, arguments) {
        std::istringstream ready(process_.read_line());
        std::string word;
        ready >> word;
        if (word == "ready") {
            ready >> endpoint_;
        }
    }

    // Stops the host as an operator would (SIGTERM), so that it removes its ipc:// file.
    ~HostProcess() {
        process_.signal(SIGTERM);
        process_.wait(std::chrono::seconds(10));
    }
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // The bound endpoint; empty when the host did not start.
    const std::string& endpoint() const { return endpoint_; }
    test_support::ChildProcess& process() { return process_; }

  private:
    test_support::ChildProcess process_;
    std::string endpoint_;
};

}  // namespace probe

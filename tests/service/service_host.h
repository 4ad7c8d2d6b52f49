#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace service_test {

// `sccube serve` in a process of its own, on a free loopback port, confined to `root`. The
// destructor stops it with SIGTERM (so it closes its open builders) and waits for it.
class ServiceHost {
  public:
    explicit ServiceHost(const std::string& root, unsigned threads = 4)
        : process_(SCCUBE_PROGRAM, arguments(root, threads)) {
        std::istringstream ready(process_.read_line());
        std::string word;
        ready >> word;
        if (word == "serving") {
            ready >> endpoint_;
        }
    }
    // A host that ends other than cleanly (a sanitizer report, a crash, a hang) fails the test.
    ~ServiceHost() {
        if (!endpoint_.empty() && stop() != 0) {
            ADD_FAILURE() << "sccube serve ended with status " << status_;
        }
    }
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;

    // The bound endpoint; empty when the host did not start.
    const std::string& endpoint() const { return endpoint_; }

    // Sends SIGTERM and waits; the host's exit status (-1 when it had to be killed).
    int stop() {
        if (stopped_) {
            return status_;
        }
        stopped_ = true;
        process_.signal(SIGTERM);
        status_ = process_.wait();
        return status_;
    }

  private:
    static std::vector<std::string> arguments(const std::string& root, unsigned threads) {
        return {"serve", "--endpoint", "tcp://127.0.0.1:*",     "--root",
                root,    "--threads",  std::to_string(threads), "--log-level",
                "quiet"};
    }

    test_support::ChildProcess process_;
    std::string endpoint_;
    bool stopped_ = false;
    int status_ = 0;
};

}  // namespace service_test

// A host process for the transport tests: serves the probe service until SIGINT or SIGTERM.
//   tuplink_test_host [--workers N] [--max-size BYTES] [--stop-timeout MS]
//                     [--curve-secret KEY --client-key KEY...] ENDPOINT...
// prints "ready ENDPOINT..." (wildcard ports resolved) once it serves, and "stopped" at the
// end. With --call ENDPOINT METHOD MS it is instead a client that calls the probe's sleep
// method and prints "calling" first: the tests kill it in the middle of its call.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "probe_service.h"
#include "tuplink/client.h"
#include "tuplink/host.h"
#include "tuplink/status.h"

namespace {

int runClient(const std::string& endpoint, int ms) {
    tuplink::Client client;
    if (client.connect(endpoint) != 0) {
        return 2;
    }
    tuplink::Tuple arguments;
    tuplink::Tuple results;
    arguments.set_int(tuplink::Symbol("ms"), ms);
    std::cout << "calling" << std::endl;
    return client.call(probe::kService, "killed", probe::kInterface, "sleep", arguments, results) ==
                   1
               ? 0
               : 1;
}

}  // namespace

int main(int argc, char** argv) {
    tuplink::HostOptions options;
    options.endpoints.clear();
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        const bool hasValue = index + 1 < argc;
        if (argument == "--call" && index + 2 < argc) {
            return runClient(argv[index + 1], std::atoi(argv[index + 2]));
        } else if (argument == "--workers" && hasValue) {
            options.workers = static_cast<unsigned>(std::atoi(argv[++index]));
        } else if (argument == "--max-size" && hasValue) {
            options.max_message_size = std::atoll(argv[++index]);
        } else if (argument == "--stop-timeout" && hasValue) {
            options.stop_timeout = std::chrono::milliseconds(std::atoll(argv[++index]));
        } else if (argument == "--curve-secret" && hasValue) {
            options.curve_secret_key = argv[++index];
        } else if (argument == "--client-key" && hasValue) {
            options.curve_client_keys.push_back(argv[++index]);
        } else {
            options.endpoints.push_back(argument);
        }
    }
    // Every thread inherits the blocked signals, so only the wait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    tuplink::Host host(options);
    if (int status = host.start(); status != 0) {
        std::cerr << "tuplink_test_host: " << tuplink::status_text(status) << std::endl;
        return 1;
    }
    std::cout << "ready";
    for (const std::string& endpoint : host.endpoints()) {
        std::cout << ' ' << endpoint;
    }
    std::cout << std::endl;
    int signal = 0;
    sigwait(&stopSignals, &signal);
    host.stop();
    std::cout << "stopped" << std::endl;
    return 0;
}

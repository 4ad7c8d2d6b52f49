#include "serve_command.h"

#include <dirent.h>
#include <pthread.h>
#include <signal.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sc_api/sc_service.h"
#include "tuplink/host.h"
#include "tuplink/status.h"

namespace {

enum class LogLevel { quiet, warning, info };

struct ServeOptions {
    std::vector<std::string> endpoints;
    std::string root;
    unsigned threads = 0;
    std::int64_t maxReply = std::int64_t{1} << 30;
    std::string curveSecretFile;
    std::string curveClientsDirectory;
    bool insecure = false;
    LogLevel logLevel = LogLevel::info;
};

// Writes whole lines to the standard error from any thread.
class ServeLog {
  public:
    explicit ServeLog(LogLevel level) : level_(level) {}

    void write(LogLevel level, const std::string& line) {
        if (level > level_) {
            return;
        }
        std::lock_guard guard(lock_);
        std::cerr << "sccube serve: " << line << std::endl;
    }

  private:
    LogLevel level_;   // the most detailed level written
    std::mutex lock_;  // one line at a time
};

// The first word of the file: a CURVE key of 40 characters of Z85.
bool readKey(const std::string& file, std::string& key) {
    std::ifstream input(file);
    return static_cast<bool>(input >> key);
}

bool readClientKeys(const std::string& directory, std::vector<std::string>& keys) {
    DIR* listing = ::opendir(directory.c_str());
    if (listing == nullptr) {
        return false;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        std::string key;
        if (name.front() != '.' && readKey(directory + "/" + name, key)) {
            keys.push_back(key);
        }
    }
    ::closedir(listing);
    return true;
}

bool resolveRoot(const std::string& requested, std::string& root) {
    char resolved[PATH_MAX];
    if (::realpath(requested.empty() ? "." : requested.c_str(), resolved) == nullptr) {
        return false;
    }
    root = resolved;
    return true;
}

int runServe(const ServeOptions& options) {
    auto log = std::make_shared<ServeLog>(options.logLevel);
    tuplink::HostOptions host;
    if (!options.endpoints.empty()) {
        host.endpoints = options.endpoints;
    }
    host.workers = options.threads;
    host.max_message_size = options.maxReply;
    host.allow_insecure = options.insecure;
    host.log = [log](const std::string& line) { log->write(LogLevel::warning, line); };
    host.on_connection_event = [log](const std::string& line) { log->write(LogLevel::info, line); };
    if (!options.curveSecretFile.empty()) {
        if (!readKey(options.curveSecretFile, host.curve_secret_key) ||
            !readClientKeys(options.curveClientsDirectory, host.curve_client_keys)) {
            std::cerr << "sccube serve: cannot read the CURVE keys" << std::endl;
            return 1;
        }
    }
    std::string root;
    if (!resolveRoot(options.root, root)) {
        std::cerr << "sccube serve: no such directory: " << options.root << std::endl;
        return 1;
    }
    SCService::setRoot(root);
    SCService::setMaxReplyBytes(static_cast<std::uint64_t>(options.maxReply));
    SCService::setRefusalLog([log](const std::string& line) { log->write(LogLevel::info, line); });

    // Every thread the host starts inherits the blocked signals, so only sigwait() sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    tuplink::Host server(host);
    if (const int started = server.start(); started != 0) {
        std::cerr << "sccube serve: " << tuplink::status_text(started) << std::endl;
        return 1;
    }
    std::cout << "serving";
    for (const std::string& endpoint : server.endpoints()) {
        std::cout << ' ' << endpoint;
    }
    std::cout << " root " << root << std::endl;
    int received = 0;
    sigwait(&stopSignals, &received);
    log->write(LogLevel::info, "stopping; open builders are being closed");
    const bool clean = server.stop();
    SCService::setRefusalLog(nullptr);
    std::cout << (clean ? "stopped" : "stopped; calls still running were abandoned") << std::endl;
    return 0;
}

}  // namespace

void addServeCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ServeOptions>();
    CLI::App* command = app.add_subcommand(
        "serve",
        "Serve building and reading cubes to other processes (the service "
        "com.tarn.brix.mv.mv_svc) until SIGINT or SIGTERM; then close every cube still being "
        "built. Prints \"serving ENDPOINT... root DIR\" once it listens.");
    command->add_option("--endpoint", options->endpoints,
                        "where to listen, tcp://ADDRESS:PORT or ipc://PATH; repeatable "
                        "(default tcp://127.0.0.1:7723)");
    command->add_option("--root", options->root,
                        "directory that confines every cube path; relative paths are taken "
                        "against it (default: the working directory)");
    command->add_option("--threads", options->threads, "worker threads (default: one per core)");
    command
        ->add_option("--max-reply", options->maxReply,
                     "largest request or reply in bytes; larger replies are refused")
        ->capture_default_str()
        ->check(CLI::Range(std::int64_t{1024}, std::int64_t{1} << 40));
    auto* secret = command->add_option("--curve-secret", options->curveSecretFile,
                                       "file holding the server's CURVE secret key (Z85)");
    auto* clients = command->add_option("--curve-clients", options->curveClientsDirectory,
                                        "directory of files each holding one allowed client's "
                                        "CURVE public key");
    auto* insecure = command->add_flag("--insecure", options->insecure,
                                       "listen on a non-loopback TCP address without CURVE");
    secret->needs(clients);
    clients->needs(secret);
    insecure->excludes(secret);
    command
        ->add_option("--log-level", options->logLevel,
                     "quiet; warning; info: also one line per connection event and refused call")
        ->transform(
            CLI::CheckedTransformer(std::map<std::string, LogLevel>{{"quiet", LogLevel::quiet},
                                                                    {"warning", LogLevel::warning},
                                                                    {"info", LogLevel::info}},
                                    CLI::ignore_case));
    command->callback([options, &status] { status = runServe(*options); });
}

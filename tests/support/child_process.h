#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace test_support {

// Another program run by a test, with its standard output readable line by line. The
// destructor kills it (SIGKILL) if it still runs and reaps it, so no test leaves one behind.
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
        int pipeEnds[2];
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[1]);
        output_ = pipeEnds[0];
    }
    ~ChildProcess() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        if (output_ >= 0) {
            ::close(output_);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The next line of output without its newline; empty at end of output or after `limit`.
    std::string read_line(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const auto newline = buffered_.find('\n');
            if (newline != std::string::npos) {
                std::string line = buffered_.substr(0, newline);
                buffered_.erase(0, newline + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{output_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            char bytes[256];
            const ssize_t got = ::read(output_, bytes, sizeof bytes);
            if (got <= 0) {
                return {};
            }
            buffered_.append(bytes, static_cast<std::size_t>(got));
        }
    }

    // Sends a signal to the program, if it was started and not yet reaped.
    void signal(int number) const {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, number);
        }
    }

    // Waits for the program to end; its exit code, 128 + signal for a killed one, or -1 when
    // it still ran after `limit` (the destructor then kills it) or was never started.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        if (pid_ <= 0 || reaped_) {
            return -1;
        }
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

  private:
    pid_t pid_ = -1;
    int output_ = -1;       // read end of the program's standard output
    bool reaped_ = false;   // waited for
    std::string buffered_;  // output read but not yet returned
};

}  // namespace test_support

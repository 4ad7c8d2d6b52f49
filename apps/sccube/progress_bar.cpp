#include "progress_bar.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void onInterrupt(int) {
    gInterrupted.store(true);
}

std::string duration(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

constexpr int kBarWidth = 30;

}  // namespace

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A file that reaches the size limit fails its writes, reported as any full disk.
    std::signal(SIGXFSZ, SIG_IGN);
}

bool ProgressBar::interrupted() {
    return gInterrupted.load();
}

ProgressBar::ProgressBar(std::string what, std::string unit, bool quiet)
    : what_(std::move(what)),
      unit_(std::move(unit)),
      shown_(!quiet && ::isatty(STDERR_FILENO) == 1),
      start_(Clock::now()),
      lastDraw_(start_) {
    static const bool caught = (catchInterrupts(), true);
    (void)caught;
}

ProgressBar::~ProgressBar() {
    if (drawn_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
}

bool ProgressBar::advance(std::uint64_t done, std::uint64_t total) {
    if (interrupted()) {
        return false;
    }
    const Clock::time_point now = Clock::now();
    if (shown_ && (now - lastDraw_ >= std::chrono::milliseconds(100) || done == total)) {
        lastDraw_ = now;
        draw(done, total);
    }
    return true;
}

void ProgressBar::draw(std::uint64_t done, std::uint64_t total) {
    const double fraction =
        total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    const int filled = static_cast<int>(fraction * kBarWidth);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    const double rate = elapsed > 0.0 ? static_cast<double>(done) / elapsed : 0.0;
    const std::string left =
        rate > 0.0 ? duration(static_cast<double>(total - done) / rate) + " left" : "";
    std::fprintf(stderr, "\r%s [%.*s%.*s] %3d%%  %.0f %s/s  %s\033[K", what_.c_str(), filled,
                 "##############################", kBarWidth - filled,
                 "                              ", static_cast<int>(fraction * 100.0), rate,
                 unit_.c_str(), left.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

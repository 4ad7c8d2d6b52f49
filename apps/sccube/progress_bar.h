#pragma once

#include <chrono>
#include <string>

#include "sc_api/sc_progress.h"

// The progress of one long command: a bar with the rate and the time left, redrawn at most ten
// times a second on the standard error while it is a terminal and --quiet was not given, and
// nothing otherwise. Whether shown or not, it stops the work once Ctrl-C was pressed (the
// library then removes its partial output): the first bar made calls catchInterrupts().
class ProgressBar : public SCProgress {
  public:
    // `what` names the work ("converting"), `unit` the units counted ("spectra").
    ProgressBar(std::string what, std::string unit, bool quiet);
    // Clears the bar.
    ~ProgressBar() override;

    bool advance(std::uint64_t done, std::uint64_t total) override;

    // Whether Ctrl-C was pressed since the program started.
    static bool interrupted();

  private:
    using Clock = std::chrono::steady_clock;

    void draw(std::uint64_t done, std::uint64_t total);

    std::string what_;
    std::string unit_;
    bool shown_;                  // drawing on a terminal
    bool drawn_ = false;          // something is on the line
    Clock::time_point start_;     // when the work began
    Clock::time_point lastDraw_;  // when the bar was last drawn
};

// Makes Ctrl-C (SIGINT) and SIGTERM set the flag ProgressBar::interrupted() reads instead of
// ending the process at once, and makes writes beyond the file size limit fail instead of
// ending it (SIGXFSZ ignored).
void catchInterrupts();

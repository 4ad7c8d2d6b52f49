#pragma once

#include <atomic>
#include <ostream>

#include "sc_api/export.h"
#include "tuplink/critical_section.h"

// The library's diagnostic sink: three output streams (information, error, warning), an
// on/off switch and a lock held while a message is composed, so that lines from several
// threads do not interleave. It formats nothing itself. A writer follows one pattern:
//
//   Logger& logger = Logger::getInstance();
//   if (logger.isEnable()) {
//       logger.lock();
//       logger.error() << "message" << std::endl;
//       logger.unlock();
//   }
//
// The streams are not owned: a stream handed to the logger must outlive its use. Configure the
// streams and the switch before threads start logging; the lock only serialises messages.
class SC_API_EXPORT Logger {
  public:
    // The process-wide logger, made on the first call and destroyed at process exit.
    static Logger& getInstance();

    // Enabled; information and warnings go to std::cout, errors to std::cerr.
    Logger();
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Whether messages should be written. Advisory: the streams stay reachable either way.
    bool isEnable() const { return enabled_.load(std::memory_order_acquire); }
    void enable() { enabled_.store(true, std::memory_order_release); }
    void disable() { enabled_.store(false, std::memory_order_release); }

    std::ostream& info() { return *info_.load(std::memory_order_acquire); }
    std::ostream& error() { return *error_.load(std::memory_order_acquire); }
    std::ostream& warning() { return *warning_.load(std::memory_order_acquire); }

    void setInfoOut(std::ostream& out) { info_.store(&out, std::memory_order_release); }
    void setErrorOut(std::ostream& out) { error_.store(&out, std::memory_order_release); }
    void setWarningOut(std::ostream& out) { warning_.store(&out, std::memory_order_release); }
    // Sends all three kinds of message to `out`.
    void setOut(std::ostream& out);

    // Holds the logger's lock (re-entrant for its holder) while a message is written.
    void lock() { lock_.enter(); }
    void unlock() { lock_.leave(); }

  private:
    tuplink::CriticalSection lock_;       // serialises whole messages
    std::atomic<bool> enabled_;           // messages wanted
    std::atomic<std::ostream*> info_;     // information messages; not owned
    std::atomic<std::ostream*> error_;    // error messages; not owned
    std::atomic<std::ostream*> warning_;  // warnings; not owned
};

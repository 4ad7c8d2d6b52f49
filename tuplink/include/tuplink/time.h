#pragma once

#include <chrono>
#include <compare>

#include "tuplink/export.h"

namespace tuplink {

// A signed length of time with nanosecond resolution. Arithmetic saturates at the largest
// representable lengths instead of overflowing, so a "practically infinite" period built from
// a huge millisecond count stays usable.
class TUPLINK_EXPORT TimePeriod {
  public:
    using Duration = std::chrono::nanoseconds;

    TimePeriod() = default;
    // seconds + milliseconds; the period runs forward (positive) when `forward` is true and is
    // negated when it is false. TimePeriod(0, 500, true) is half a second.
    TimePeriod(long long seconds, long long milliseconds, bool forward);
    explicit TimePeriod(Duration length) : length_(length) {}

    Duration duration() const { return length_; }
    // Whole milliseconds, rounded toward zero.
    long long milliseconds() const;

    TimePeriod operator+(const TimePeriod& other) const;
    TimePeriod operator-(const TimePeriod& other) const;
    TimePeriod operator-() const;
    TimePeriod& operator+=(const TimePeriod& other) { return *this = *this + other; }
    TimePeriod& operator-=(const TimePeriod& other) { return *this = *this - other; }

    friend bool operator==(const TimePeriod&, const TimePeriod&) = default;
    friend auto operator<=>(const TimePeriod&, const TimePeriod&) = default;

  private:
    Duration length_{0};  // signed length
};

// A point in time on a monotonic clock: meant for measuring periods and computing time-outs,
// not for calendar dates.
class TUPLINK_EXPORT TimeDate {
  public:
    using Clock = std::chrono::steady_clock;

    // The clock's epoch.
    TimeDate() = default;
    explicit TimeDate(Clock::time_point when) : when_(when) {}

    static TimeDate now();

    Clock::time_point time_point() const { return when_; }

    // The period from `earlier` to this point (negative when `earlier` is later).
    TimePeriod operator-(const TimeDate& earlier) const;
    TimeDate operator+(const TimePeriod& period) const;
    TimeDate operator-(const TimePeriod& period) const;

    friend bool operator==(const TimeDate&, const TimeDate&) = default;
    friend auto operator<=>(const TimeDate&, const TimeDate&) = default;

  private:
    Clock::time_point when_{};  // the instant
};

}  // namespace tuplink

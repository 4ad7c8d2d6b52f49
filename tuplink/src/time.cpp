#include "tuplink/time.h"

#include <limits>

namespace tuplink {

namespace {

using Rep = TimePeriod::Duration::rep;

constexpr Rep kMaxRep = std::numeric_limits<Rep>::max();
constexpr Rep kMinRep = std::numeric_limits<Rep>::min();

Rep saturatedAdd(Rep a, Rep b) {
    Rep sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? kMaxRep : kMinRep;
    }
    return sum;
}

Rep saturatedMultiply(long long a, Rep b) {
    Rep product = 0;
    if (__builtin_mul_overflow(a, b, &product)) {
        return (a < 0) != (b < 0) ? kMinRep : kMaxRep;
    }
    return product;
}

TimePeriod::Duration saturated(Rep nanoseconds) {
    return TimePeriod::Duration(nanoseconds);
}

}  // namespace

TimePeriod::TimePeriod(long long seconds, long long milliseconds, bool forward) {
    const Rep total = saturatedAdd(saturatedMultiply(seconds, 1'000'000'000),
                                   saturatedMultiply(milliseconds, 1'000'000));
    length_ = saturated(forward ? total : (total == kMinRep ? kMaxRep : -total));
}

long long TimePeriod::milliseconds() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(length_).count();
}

TimePeriod TimePeriod::operator+(const TimePeriod& other) const {
    return TimePeriod(saturated(saturatedAdd(length_.count(), other.length_.count())));
}

TimePeriod TimePeriod::operator-(const TimePeriod& other) const {
    return *this + (-other);
}

TimePeriod TimePeriod::operator-() const {
    const Rep count = length_.count();
    return TimePeriod(saturated(count == kMinRep ? kMaxRep : -count));
}

TimeDate TimeDate::now() {
    return TimeDate(Clock::now());
}

TimePeriod TimeDate::operator-(const TimeDate& earlier) const {
    const auto later = std::chrono::duration_cast<TimePeriod::Duration>(when_.time_since_epoch());
    const auto before =
        std::chrono::duration_cast<TimePeriod::Duration>(earlier.when_.time_since_epoch());
    return TimePeriod(later) - TimePeriod(before);
}

TimeDate TimeDate::operator+(const TimePeriod& period) const {
    const auto since = std::chrono::duration_cast<TimePeriod::Duration>(when_.time_since_epoch());
    const TimePeriod moved = TimePeriod(since) + period;
    return TimeDate(
        Clock::time_point(std::chrono::duration_cast<Clock::duration>(moved.duration())));
}

TimeDate TimeDate::operator-(const TimePeriod& period) const {
    return *this + (-period);
}

}  // namespace tuplink

#include "tuplink/time.h"

#include <gtest/gtest.h>

#include <climits>
#include <thread>

namespace {

using tuplink::TimeDate;
using tuplink::TimePeriod;

TimePeriod ms(long long count) {
    return TimePeriod(0, count, true);
}

TEST(TimePeriod, IsBuiltFromSecondsAndMillisecondsWithADirection) {
    EXPECT_EQ(ms(500).milliseconds(), 500);
    EXPECT_EQ(TimePeriod(1, 250, true), ms(1250));
    EXPECT_EQ(TimePeriod(0, 500, false), -ms(500));
    EXPECT_EQ(ms(1000) - ms(400), ms(600));
    EXPECT_LT(ms(49), ms(50));
}

TEST(TimePeriod, HugeLengthsSaturateInsteadOfOverflowing) {
    const TimePeriod forever(0, LLONG_MAX, true);
    EXPECT_GT(forever, TimePeriod(100000000, 0, true));
    EXPECT_EQ(forever + forever, forever);
    EXPECT_LT(TimePeriod(0, LLONG_MAX, false), ms(0));
    EXPECT_GT(forever - TimePeriod(0, LLONG_MAX, false), ms(0));
}

TEST(TimeDate, DifferenceOfDatesIsThePeriodBetweenThem) {
    const TimeDate start = TimeDate::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const TimeDate later = TimeDate::now();
    EXPECT_GE(later - start, ms(2));
    EXPECT_EQ(start + ms(250) - start, ms(250));
    EXPECT_EQ((later - ms(7)) + ms(7), later);
}

}  // namespace

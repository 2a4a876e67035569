#include "geometry/clock.h"
#include "platform/steady_time.h"

#include <gtest/gtest.h>

namespace botpilot {
namespace {

TEST(ClockTest, SetAndAdvanceDriveTheTimeByHand) {
    Clock::Set(5.0);
    EXPECT_EQ(Clock::Now(), 5.0);
    Clock::Advance(2.5);
    EXPECT_EQ(Clock::Now(), 7.5);
    Clock::Advance(-10.0);
    EXPECT_EQ(Clock::Now(), -2.5);
    Clock::Set(0.0);
    EXPECT_EQ(Clock::Now(), 0.0);
}

// Regression: the time of day fell back by a whole day at midnight, so ages and velocities
// across it went negative. The clock now follows the steady clock, which never falls back.
TEST(ClockTest, UpdateFollowsTheSteadyClock) {
    const double before = SteadySeconds();
    Clock::Update();
    const double now = Clock::Now();
    const double after = SteadySeconds();
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);

    SleepMilliseconds(30);
    Clock::Update();
    EXPECT_GE(Clock::Now() - now, 0.029); // millisecond resolution: truncation may lose one
    EXPECT_LT(Clock::Now() - now, 1.0);
}

double FixedSeconds() {
    return 42.5;
}

TEST(ClockTest, ATestSourceReplacesTheSteadyClockUntilReset) {
    Clock::SetSourceForTesting(&FixedSeconds);
    Clock::Update();
    EXPECT_EQ(Clock::Now(), 42.5);
    EXPECT_EQ(Clock::SystemSeconds(), 42.5);

    Clock::SetSourceForTesting(nullptr);
    const double before = SteadySeconds();
    Clock::Update();
    EXPECT_GE(Clock::Now(), before);
    EXPECT_LE(Clock::Now(), SteadySeconds());
}

} // namespace
} // namespace botpilot

#include "geometry/clock.h"

#include "platform/steady_time.h"

namespace botpilot {

namespace {

// The program time. A plain global: only the control loop reads and writes it. [Units: s]
double currentSeconds = 0.0;

// Where the time of `Clock::Update` comes from: the steady clock, unless a test replaces it.
Clock::TimeSource timeSource = &SteadySeconds;

} // namespace

double Clock::Now() {
    return currentSeconds;
}

void Clock::Set(double seconds) {
    currentSeconds = seconds;
}

void Clock::Advance(double seconds) {
    currentSeconds += seconds;
}

void Clock::Update() {
    currentSeconds = SystemSeconds();
}

// The steady clock rather than the time of day: ages and velocities are differences of stamps,
// and a clock that fell back at midnight would make them negative.
double Clock::SystemSeconds() {
    return timeSource();
}

void Clock::SetSourceForTesting(TimeSource source) {
    timeSource = source != nullptr ? source : &SteadySeconds;
}

} // namespace botpilot

#include "platform/cycle_pacer.h"

#include <algorithm>
#include <thread>

namespace botpilot {

namespace {

/// The longest single sleep, so that a key or a stop is seen soon even at a low rate.
constexpr std::chrono::milliseconds kLongestSleep{20};

} // namespace

CyclePacer::CyclePacer(double cyclesPerSecond) : CyclePacer(cyclesPerSecond, Time{}) {}

CyclePacer::CyclePacer(double cyclesPerSecond, Time time) : time(std::move(time)) {
    if (cyclesPerSecond > 0.0) {
        // Rates beyond a cycle a nanosecond are no cap worth keeping; the duration stays above 0.
        period = std::max<Clock::duration>(
            std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(1.0 / std::min(cyclesPerSecond, 1e9))),
            Clock::duration(1));
    }
    if (!this->time.sleep) {
        this->time.sleep = [](Clock::duration length) { std::this_thread::sleep_for(length); };
    }
}

void CyclePacer::WaitForNextCycle(const std::function<bool()>& interrupted) {
    if (!Paced()) {
        return;
    }
    const Clock::time_point now = time.now();
    if (!started) {
        started = true;
        due = now + period;
    } else {
        due += period;
        if (now - due > period) {
            // More than a cycle late: the next one starts at once, and the schedule from it.
            due = now;
        }
    }
    for (Clock::time_point at = now; at < due && !interrupted(); at = time.now()) {
        time.sleep(std::min<Clock::duration>(due - at, kLongestSleep));
    }
}

} // namespace botpilot

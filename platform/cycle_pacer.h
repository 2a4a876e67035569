#pragma once

#include <chrono>
#include <functional>

namespace botpilot {

/// Holds a loop to at most a given number of cycles a second, on the steady clock. Without a
/// cap every client spins a core on its waits for replies; a cap of twice the server's step
/// rate still reads every step while leaving the machine to the others.
///
/// A cycle that ran more than a cycle late is not made up for by a burst: the next one starts at
/// once, and the schedule again from it.
class CyclePacer {
  public:
    using Clock = std::chrono::steady_clock;
    /// The clock and the sleep, replaceable so that the schedule can be checked without time.
    struct Time {
        std::function<Clock::time_point()> now = [] { return Clock::now(); };
        std::function<void(Clock::duration)> sleep;
    };

    /// At most `cyclesPerSecond` cycles a second; 0 or below is no cap at all.
    explicit CyclePacer(double cyclesPerSecond);
    CyclePacer(double cyclesPerSecond, Time time);

    /// Returns once the next cycle is due, or sooner once `interrupted` is true, which is asked
    /// at least every 20 ms of waiting (a key, a stop signal). At once without a cap.
    void WaitForNextCycle(const std::function<bool()>& interrupted);

    bool Paced() const { return period > Clock::duration::zero(); }

  private:
    Clock::duration period{};
    Time time;
    Clock::time_point due{};
    bool started = false;
};

} // namespace botpilot

#pragma once

namespace botpilot {

/// Seconds on the platform's steady clock, truncated to whole milliseconds. The origin is
/// arbitrary (it never jumps, unlike the time of day), so only differences carry meaning.
/// [Units: s]
double SteadySeconds();

/// Blocks the calling thread for the given time. [Units: ms] [Limit: >= 0]
void SleepMilliseconds(int milliseconds);

/// A point on the steady clock by which a wait must end.
class Deadline {
  public:
    /// A deadline the given number of seconds from now. [Units: s]
    static Deadline After(double seconds);

    /// Milliseconds left before the deadline, rounded up, never below 0. [Units: ms]
    int RemainingMilliseconds() const;
    bool Expired() const { return RemainingMilliseconds() == 0; }

  private:
    explicit Deadline(double atSeconds) : atSeconds(atSeconds) {}
    double atSeconds;
};

} // namespace botpilot

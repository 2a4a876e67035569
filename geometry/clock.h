#pragma once

namespace botpilot {

/// The one program-wide time. Every time stamp and age refers to it; it changes only when told
/// to, normally right before a fresh reading from the server is stored. 0 at program start.
/// Reached through its static operations only: `Clock::Now()`, `Clock::Update()`.
class Clock {
  public:
    Clock() = delete;

    /// The current program time. [Units: s]
    static double Now();

    /// Replaces the program time (the self-test steps through fixed instants). [Units: s]
    static void Set(double seconds);

    /// Adds to the program time. [Units: s]
    static void Advance(double seconds);

    /// Sets the program time to `SystemSeconds()`: called right before a reading is stored.
    static void Update();

    /// The platform's steady clock in seconds, at millisecond resolution. Its origin is arbitrary
    /// but it never jumps back (the time of day would, at midnight). [Units: s]
    static double SystemSeconds();

    /// Where `SystemSeconds` reads the time. [Units: s]
    using TimeSource = double (*)();

    /// For tests only: makes `SystemSeconds` (and so `Update`) read `source` instead of the steady
    /// clock, so that a test can replay cycles with the same time stamps every run; null puts the
    /// steady clock back. The program never calls it.
    static void SetSourceForTesting(TimeSource source);
};

} // namespace botpilot

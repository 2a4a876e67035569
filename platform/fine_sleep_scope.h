#pragma once

namespace botpilot {

/// While it lives, the system's sleeps are as fine as it can make them. Windows rounds a sleep up
/// to its timer's tick, 15.6 ms unless a program asks for a finer one, which would hold a paced
/// loop far below its rate (200 cycles a second would run at 64); it asks for 1 ms. Elsewhere
/// sleeps are fine already, and it does nothing.
class FineSleepScope {
  public:
    FineSleepScope();
    ~FineSleepScope();
    FineSleepScope(const FineSleepScope&) = delete;
    FineSleepScope& operator=(const FineSleepScope&) = delete;
};

} // namespace botpilot

#pragma once

// Scoped changes of process-wide state for the built-in checks (and tests): each sets a known
// value for the length of a scope and puts back what it found, even when the check fails.

#include "geometry/clock.h"
#include "world/playing_field.h"

namespace botpilot::checks {

/// Sets the program time; the time found is restored at the end of the scope.
class ScopedClock {
  public:
    explicit ScopedClock(double seconds) : saved(Clock::Now()) { Clock::Set(seconds); }
    ~ScopedClock() { Clock::Set(saved); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

  private:
    double saved; ///< [Units: s]
};

/// Sets the playing field's size; the size found is restored at the end of the scope.
class ScopedPlayingFieldSize {
  public:
    ScopedPlayingFieldSize(double xSize = PlayingField::kDefaultXSize,
                           double ySize = PlayingField::kDefaultYSize)
        : savedX(PlayingField::Instance().XSize()), savedY(PlayingField::Instance().YSize()) {
        PlayingField::Instance().SetSize(xSize, ySize);
    }
    ~ScopedPlayingFieldSize() { PlayingField::Instance().SetSize(savedX, savedY); }
    ScopedPlayingFieldSize(const ScopedPlayingFieldSize&) = delete;
    ScopedPlayingFieldSize& operator=(const ScopedPlayingFieldSize&) = delete;

  private:
    double savedX; ///< [Units: world units]
    double savedY; ///< [Units: world units]
};

} // namespace botpilot::checks

#pragma once

#include "modes/orientation_mode.h"

#include <string>

namespace botpilot {

/// Keeps the scanner on the nearest robot it currently sees, so that the observations of that
/// robot stay fresh.
class WatchRobotsMode final : public OrientationMode {
  public:
    WatchRobotsMode() = default;

    /// "WatchRobots".
    std::string GetName() const override;
    /// 0.5 while the scanner's robot field holds a robot, else 0.
    double GetDesirability() override;
    /// The bearing of the nearest seen robot relative to the body's normalised heading, not
    /// normalised (the scanner normalises what it sends); 0 when no robot is seen. Timed as
    /// "WatchRobotsMode::GetDesiredOrientation". [Units: rad]
    Angle GetDesiredOrientation() override;
};

} // namespace botpilot

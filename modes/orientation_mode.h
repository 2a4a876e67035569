#pragma once

#include "geometry/angle.h"
#include "robot/mode.h"

namespace botpilot {

/// A mode that only aims the scanner: each update hands its desired orientation to the scanner,
/// which sends it only when it changed.
class OrientationMode : public Mode {
  public:
    /// Stores the robot, then registers the scanner.
    void Attach(Robot& robot) override;

    void Update() override;

    /// Where the scanner should point, relative to the body's heading. [Units: rad]
    virtual Angle GetDesiredOrientation() = 0;
};

} // namespace botpilot

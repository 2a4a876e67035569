#pragma once

#include "geometry/angle.h"
#include "robot/mode.h"

#include <string>

namespace botpilot {

/// Attacks: when the gun is charged and a seen robot will, a quarter of a second from now, lie
/// close ahead within the gun's narrow field of view, it turns the body towards that point,
/// drives at full speed and fires on every update. Commands the gun and the body.
class StraightShooterMode final : public Mode {
  public:
    StraightShooterMode() = default;

    /// "StraightShooter".
    std::string GetName() const override;
    /// Stores the robot, then registers the gun, then the body.
    void Attach(Robot& robot) override;
    /// 0.7 when the gun's charge is at least 50 and a seen robot (the first in id order) will in
    /// 0.25 s lie less than 10 units away and within ±5 degrees of the gun's heading; the
    /// bearing to that point is then kept as the aim for `Update`. Else 0, the aim unchanged.
    double GetDesirability() override;
    /// Turns the body to the aim kept by the last scoring, drives at full speed and fires.
    void Update() override;
    /// The bearing the last scoring that found a target kept. [Units: rad]
    Angle Aim() const { return aim; }

  private:
    /// The absolute bearing to fire along, as seen from the body; written only by scoring.
    /// [Units: rad]
    Angle aim = 0.0;
};

} // namespace botpilot

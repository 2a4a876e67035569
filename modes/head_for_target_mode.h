#pragma once

#include "geometry/angle.h"
#include "geometry/cached_feature.h"
#include "robot/mode.h"

#include <string>

namespace botpilot {

class Feature;

/// Drives the body towards the seen robot that lies most nearly straight ahead, aiming at a
/// point just behind it, and steers 0.2 rad to one side when the straight course would climb
/// above 25 on the danger map. Commands the body only; keeps nothing between cycles that one
/// cycle's decision could see.
class HeadForTargetMode final : public Mode {
  public:
    HeadForTargetMode() = default;

    /// "HeadForTarget".
    std::string GetName() const override;
    /// Stores the robot, then registers the body.
    void Attach(Robot& robot) override;
    /// 0.3 while the scanner's robot field holds a robot, else 0.
    double GetDesirability() override;
    /// Sets the engine's orientation, then its speed (each sent only when changed); sends
    /// nothing when no robot is seen.
    void Update() override;

  private:
    /// The greatest height on `heights` over the next 0.25 s of the body's path under the
    /// command (speed, heading). [Units: speed in percent of maxSpeed, heading in rad]
    double TrialMaxHeight(const Feature& heights, double speed, Angle heading) const;

    // The cells of each update's terrain cache, kept so that an update allocates and clears
    // only what it uses; every cell is empty again when an update ends, so no height outlives
    // the update that computed it.
    FeatureMemo terrainMemo;
};

} // namespace botpilot

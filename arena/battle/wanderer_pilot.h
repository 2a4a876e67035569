#pragma once

#include "arena/battle/opponent_pilot.h"

namespace botarena {

/// The plainest opponent, with the default settings: it wanders between random points at full
/// speed with its scanner sweeping round, and once it sees a robot it turns to the nearest at
/// 40 % speed, follows its bearing with the scanner and fires whenever its gun is charged and
/// within 8 degrees of that bearing.
class WandererPilot : public OpponentPilot {
  public:
    /// `seed` fixes its waypoints.
    WandererPilot(int robotId, std::uint32_t seed) : OpponentPilot(robotId), course(seed) {}

    static RobotSettings Settings() { return RobotSettings{}; }

  protected:
    void Decide(Battle& battle, ArenaRobot& robot, const std::vector<Sighting>& seen) override;

  private:
    RoamingCourse course;
};

} // namespace botarena

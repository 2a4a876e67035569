#pragma once

#include "arena/battle/opponent_pilot.h"

namespace botarena {

/// An easy opponent, with the default settings: it turns on the spot at its full rate, its
/// scanner looking along its gun, and fires whenever the gun is charged and sweeps across a
/// robot (within 8 degrees). It never moves off its spot, so it is easy to hit.
class SpinnerPilot : public OpponentPilot {
  public:
    explicit SpinnerPilot(int robotId) : OpponentPilot(robotId) {}

    static RobotSettings Settings() { return RobotSettings{}; }

  protected:
    void Decide(Battle& battle, ArenaRobot& robot, const std::vector<Sighting>& seen) override;
};

} // namespace botarena

#pragma once

#include "arena/battle/opponent_pilot.h"

namespace botarena {

/// The easiest opponent, with the default settings: it stays where it was put, facing the way
/// it was put, with its scanner sweeping round, and fires only at a robot that crosses the
/// line of its gun (within 8 degrees).
class SitterPilot : public OpponentPilot {
  public:
    explicit SitterPilot(int robotId) : OpponentPilot(robotId) {}

    static RobotSettings Settings() { return RobotSettings{}; }

  protected:
    void Decide(Battle& battle, ArenaRobot& robot, const std::vector<Sighting>& seen) override;
};

} // namespace botarena

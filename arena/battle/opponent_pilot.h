#pragma once

#include "arena/battle/battle.h"
#include "arena/battle/spatial.h"

#include <cstdint>
#include <random>

namespace botarena {

/// The mind of one built-in opponent. It acts on its robot through the same operations a
/// connection's requests reach, so it plays by the same rules: it wanders between random
/// points with its scanner sweeping round, and once it sees a robot it turns to the nearest,
/// follows its bearing with the scanner and fires whenever its gun is charged and on target.
class OpponentPilot {
  public:
    /// Drives the robot of that id; `seed` fixes its choices.
    OpponentPilot(int robotId, std::uint32_t seed);

    int RobotId() const { return robotId; }

    /// One decision, made once per battle step; does nothing once the robot has stopped running.
    void Update(Battle& battle);

  private:
    void Wander(Battle& battle, ArenaRobot& robot);
    void Attack(Battle& battle, ArenaRobot& robot, const ArenaRobot& target);

    int robotId;
    std::mt19937 random;
    Vec2 waypoint;
    bool hasWaypoint = false;
    double waypointSince = 0.0; ///< battle time the waypoint was chosen [Units: s]
};

} // namespace botarena

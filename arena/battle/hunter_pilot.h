#pragma once

#include "arena/battle/opponent_pilot.h"

namespace botarena {

/// An opponent that goes for the nearest robot it sees: it turns toward it and closes in to a
/// small stand-off distance (backing off when nearer, rather than ramming), keeps its scanner
/// on it and fires whenever its gun is charged and roughly on target. A robot lost from sight
/// is looked for where it was last seen, with the scanner sweeping; otherwise it roams and
/// sweeps until something comes into view.
class HunterPilot : public OpponentPilot {
  public:
    /// `seed` fixes its roaming.
    HunterPilot(int robotId, std::uint32_t seed) : OpponentPilot(robotId), course(seed) {}

    /// A quick robot with a short, hard-hitting gun and a wide scanner.
    static RobotSettings Settings();

  protected:
    void Decide(Battle& battle, ArenaRobot& robot, const std::vector<Sighting>& seen) override;

  private:
    void Engage(Battle& battle, ArenaRobot& robot, const Sighting& target);

    RoamingCourse course;
    Vec2 lastSeen;              ///< where the last target was last seen
    double lastSeenTime = -1e9; ///< battle time of that sighting [Units: s]
};

} // namespace botarena

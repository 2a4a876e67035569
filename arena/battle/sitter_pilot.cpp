#include "arena/battle/sitter_pilot.h"

#include "arena/battle/arena_math.h"

namespace botarena {

namespace {

/// Fire only when the gun points within this of a robot's bearing. [Units: radians]
constexpr double kAimTolerance = 8.0 * kRadiansPerDegree;

} // namespace

void SitterPilot::Decide(Battle& battle, ArenaRobot& robot, const std::vector<Sighting>& seen) {
    robot.SetEngineSpeed(0.0);
    robot.SetEngineOrientation(robot.Body().heading);
    SweepScanner(robot);
    const Vec2 here = Position(robot);
    for (const Sighting& other : seen) {
        if (FireWhenAimed(battle, robot, Bearing(here, other.position), kAimTolerance)) {
            return;
        }
    }
}

} // namespace botarena

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
    FireAtAnyInLine(battle, robot, seen, kAimTolerance);
}

} // namespace botarena

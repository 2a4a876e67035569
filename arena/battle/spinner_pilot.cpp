#include "arena/battle/spinner_pilot.h"

#include "arena/battle/arena_math.h"

namespace botarena {

namespace {

/// Fire only when the gun points within this of a robot's bearing. [Units: radians]
constexpr double kAimTolerance = 8.0 * kRadiansPerDegree;

} // namespace

void SpinnerPilot::Decide(Battle& battle, ArenaRobot& robot, const std::vector<Sighting>& seen) {
    // Always a quarter turn ahead of where it faces: it turns counter-clockwise at its full
    // rate for as long as it runs.
    robot.SetEngineSpeed(0.0);
    robot.SetEngineOrientation(robot.Body().heading + kPi / 2.0);
    robot.SetScannerTarget(0.0);
    FireAtAnyInLine(battle, robot, seen, kAimTolerance);
}

} // namespace botarena

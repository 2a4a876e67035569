#include "arena/battle/wanderer_pilot.h"

#include "arena/battle/arena_math.h"

namespace botarena {

namespace {

/// Fire only when the gun points within this of the target's bearing. [Units: radians]
constexpr double kAimTolerance = 8.0 * kRadiansPerDegree;
/// Engine speed while closing on a target. [Units: percent]
constexpr double kAttackSpeed = 40.0;
/// Its scanner is always told to look this far beyond where it points, so it keeps sweeping
/// counter-clockwise at its own rate, whichever way the body turns. [Units: radians]
constexpr double kSweepLead = kPi / 2.0;

} // namespace

void WandererPilot::Decide(Battle& battle, ArenaRobot& robot, const std::vector<Sighting>& seen) {
    const Vec2 here = Position(robot);
    const Sighting* target = Nearest(seen, here);
    if (target == nullptr) {
        robot.SetEngineOrientation(Bearing(here, course.Waypoint(battle, here)));
        robot.SetEngineSpeed(100.0);
        robot.SetScannerTarget(robot.ScannerOrientation() + kSweepLead);
        return;
    }
    const double bearing = Bearing(here, target->position);
    robot.SetEngineOrientation(bearing);
    robot.SetEngineSpeed(kAttackSpeed);
    LookToward(robot, bearing);
    FireWhenAimed(battle, robot, bearing, kAimTolerance);
    course.Forget();
}

} // namespace botarena

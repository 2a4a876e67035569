#include "arena/battle/hunter_pilot.h"

#include "arena/battle/arena_math.h"

#include <algorithm>
#include <cmath>

namespace botarena {

namespace {

/// The distance it closes to and holds. [Units: field units]
constexpr double kStandOff = 4.0;
/// The engine speed grows by this much per unit of distance beyond the stand-off, and turns
/// to reverse inside it. [Units: percent per field unit]
constexpr double kSpeedPerUnit = 50.0;
/// A target lost from sight is looked for where it was for this long. [Units: s]
constexpr double kMemorySeconds = 2.0;
/// Its aim needs no more than this, however far the target. [Units: radians]
constexpr double kMinAimTolerance = 3.0 * kRadiansPerDegree;

} // namespace

RobotSettings HunterPilot::Settings() {
    RobotSettings settings;
    settings.engine = {6.0, 180.0}; // units per second, degrees per second
    // range, field of view, turning rate: twice the body's, so that the scanner holds a target
    // while the body turns the other way.
    settings.scanner = {12.0, 90.0, 360.0};
    // 15 units per second, a reach of 5, 3 points a second (one shot at half charge, every
    // second) against a repair of 1.5: a lone hunter wears a default robot down in under a
    // minute when it keeps hitting.
    settings.gun = {1.5, 5.0, 3.0, 2.0};
    settings.armour = 50.0;
    settings.repair = 1.0;
    return settings;
}

void HunterPilot::Decide(Battle& battle, ArenaRobot& robot, const std::vector<Sighting>& seen) {
    const Vec2 here = Position(robot);
    if (const Sighting* target = Nearest(seen, here)) {
        lastSeen = target->position;
        lastSeenTime = battle.Time();
        Engage(battle, robot, *target);
        course.Forget();
    } else if (battle.Time() - lastSeenTime < kMemorySeconds && Distance(here, lastSeen) > 1.0) {
        robot.SetEngineOrientation(Bearing(here, lastSeen));
        robot.SetEngineSpeed(100.0);
        SweepScanner(robot);
    } else {
        Roam(battle, robot, course, 100.0);
    }
}

void HunterPilot::Engage(Battle& battle, ArenaRobot& robot, const Sighting& target) {
    const Vec2 here = Position(robot);
    const double bearing = Bearing(here, target.position);
    const double distance = Distance(here, target.position);
    robot.SetEngineOrientation(bearing);
    // Closing in while facing away would only carry it further off: the speed falls with the
    // angle still to turn. Backing off needs no turning first.
    double speed = std::clamp((distance - kStandOff) * kSpeedPerUnit, -100.0, 100.0);
    if (speed > 0.0) {
        speed *= std::max(0.0, std::cos(NormaliseRadians(bearing - robot.Body().heading)));
    }
    robot.SetEngineSpeed(speed);
    LookToward(robot, bearing);
    if (distance <= robot.Settings().gun.range + kRobotRadius) {
        // Roughly aimed: the shell's path touches the target's circle, or nearly.
        const double tolerance = std::max(kMinAimTolerance, std::atan2(kRobotRadius, distance));
        FireWhenAimed(battle, robot, bearing, tolerance);
    }
}

} // namespace botarena

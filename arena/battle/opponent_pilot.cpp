#include "arena/battle/opponent_pilot.h"

#include "arena/battle/arena_math.h"

#include <cmath>

namespace botarena {

namespace {

/// A waypoint this close counts as reached. [Units: field units]
constexpr double kWaypointReach = 1.0;
/// A waypoint not reached in this time (blocked by a robot, say) is given up. [Units: s]
constexpr double kWaypointPatience = 8.0;
/// Waypoints keep this far from the walls. [Units: field units]
constexpr double kWaypointMargin = 2.0;
/// While wandering the scanner is always told to look this far beyond where it points, so it
/// keeps sweeping round at its own turning rate. [Units: radians]
constexpr double kSweepLead = kPi / 2.0;
/// Fire only when the gun points within this of the target's bearing. [Units: radians]
constexpr double kAimTolerance = 8.0 * kRadiansPerDegree;
/// Engine speed while closing on a target. [Units: percent]
constexpr double kAttackSpeed = 40.0;

} // namespace

OpponentPilot::OpponentPilot(int robotId, std::uint32_t seed) : robotId(robotId), random(seed) {}

void OpponentPilot::Update(Battle& battle) {
    ArenaRobot* robot = battle.Find(robotId);
    if (robot == nullptr || !robot->IsRunning()) {
        return;
    }
    const std::vector<const ArenaRobot*> seen = battle.SeenRobots(robotId);
    const ArenaRobot* nearest = nullptr;
    const Vec2 here{robot->Body().x, robot->Body().y};
    for (const ArenaRobot* other : seen) {
        if (nearest == nullptr || Distance(here, {other->Body().x, other->Body().y}) <
                                      Distance(here, {nearest->Body().x, nearest->Body().y})) {
            nearest = other;
        }
    }
    if (nearest != nullptr) {
        Attack(battle, *robot, *nearest);
    } else {
        Wander(battle, *robot);
    }
}

void OpponentPilot::Wander(Battle& battle, ArenaRobot& robot) {
    const Vec2 here{robot.Body().x, robot.Body().y};
    if (!hasWaypoint || Distance(here, waypoint) < kWaypointReach ||
        battle.Time() - waypointSince > kWaypointPatience) {
        const FieldSize& field = battle.Field();
        std::uniform_real_distribution<double> alongX(field.MinX() + kWaypointMargin,
                                                      field.MaxX() - kWaypointMargin);
        std::uniform_real_distribution<double> alongY(field.MinY() + kWaypointMargin,
                                                      field.MaxY() - kWaypointMargin);
        waypoint = {alongX(random), alongY(random)};
        hasWaypoint = true;
        waypointSince = battle.Time();
    }
    robot.SetEngineOrientation(std::atan2(waypoint.y - here.y, waypoint.x - here.x));
    robot.SetEngineSpeed(100.0);
    robot.SetScannerTarget(robot.ScannerOrientation() + kSweepLead);
}

void OpponentPilot::Attack(Battle& battle, ArenaRobot& robot, const ArenaRobot& target) {
    const BodyState& body = robot.Body();
    const double bearing = std::atan2(target.Body().y - body.y, target.Body().x - body.x);
    robot.SetEngineOrientation(bearing);
    robot.SetEngineSpeed(kAttackSpeed);
    robot.SetScannerTarget(bearing - body.heading);
    if (robot.GunCharge() >= kFiringCharge &&
        std::fabs(NormaliseRadians(bearing - robot.GunHeading())) <= kAimTolerance) {
        battle.FireGun(robotId);
    }
    // After a fight the old waypoint is stale.
    hasWaypoint = false;
}

} // namespace botarena

#include "modes/head_for_target_mode.h"

#include "geometry/cached_feature.h"
#include "geometry/interpolation.h"
#include "geometry/point.h"
#include "robot/path_chooser.h"
#include "robot/robot.h"
#include "robot/robot_path.h"
#include "world/playing_field.h"

#include <cmath>
#include <optional>

namespace botpilot {

namespace {

constexpr double kScore = 0.3;

/// How far behind a seen robot the aim point lies, along its heading. [Units: world units]
constexpr double kAimBehind = 0.5;

/// The terrain is memoised on cells this wide for the trial paths of one update.
/// [Units: world units]
constexpr double kTerrainCellSize = 0.1;

// The speed ramp: 0 % at this distance from the aim point, 100 % at kFullSpeedFraction of the
// body's maxSpeed (its ground speed in field units per second at 100 %), held at the ends.
// With maxSpeed below 4 the full-speed end lies nearer than the standstill end, so the ramp
// runs the other way round: full speed close to the aim point, standstill farther out.
constexpr double kStandstillDistance = 1.0; ///< [Units: world units]
constexpr double kFullSpeedFraction = 0.25; ///< [Units: seconds of travel at maxSpeed]
constexpr double kFullSpeed = 100.0;        ///< [Units: percent of maxSpeed]

/// Below this speed the robot heads for the target itself rather than for the point behind it.
/// [Units: percent of maxSpeed]
constexpr double kSlowSpeed = 5.0;

/// How far ahead a trial path is examined. [Units: s]
constexpr double kTrialHorizon = 0.25;
/// A course whose path climbs above this height is avoided if a side course stays at or below it.
constexpr double kMaxCourseHeight = 25.0;
/// The one offset of the side courses; wider offsets are not tried. [Units: rad]
constexpr double kSideCourseOffset = 0.2;

/// A seen robot as a target of one update.
struct Target {
    Point aim;      ///< the point kAimBehind behind the robot, along its normalised heading
    Point position; ///< the robot's position, predicted to now
};

} // namespace

std::string HeadForTargetMode::GetName() const {
    return "HeadForTarget";
}

void HeadForTargetMode::Attach(Robot& attachedTo) {
    Mode::Attach(attachedTo);
    AddResource(attachedTo.body);
}

double HeadForTargetMode::GetDesirability() {
    return GetRobot().scanner.robotField.Size() > 0 ? kScore : 0.0;
}

void HeadForTargetMode::Update() {
    Robot& robot = GetRobot();
    Body& body = robot.body;

    // The target is the one whose aim point lies most nearly along the body's heading: the
    // first of the targets sorted by the size of that bearing error. Only the first is used,
    // so the minimum is taken as the targets come, in id order; of equal errors the earlier
    // stays, as with a stable sort.
    const Point p = body.Position();
    const double heading = body.Heading().Normalise().Radians();
    const auto bearingError = [&p, heading](const Target& target) {
        const double bearing = std::atan2(target.aim.y - p.y, target.aim.x - p.x);
        // Normalised after the subtraction, so that a target just across the ±π line from the
        // heading counts as nearly ahead.
        return std::abs(Angle(bearing - heading).Normalise().Radians());
    };
    std::optional<Target> chosen;
    double chosenError = 0.0;
    for (const PredictedBattleObject& seen : robot.scanner.robotField.InIdOrder()) {
        const double h = seen.Heading().Normalise().Radians();
        const Point position = seen.Position();
        const Target candidate{
            Point{position.x - kAimBehind * std::cos(h), position.y - kAimBehind * std::sin(h)},
            position};
        const double error = bearingError(candidate);
        if (!chosen || error < chosenError) {
            chosen = candidate;
            chosenError = error;
        }
    }
    if (!chosen) {
        return;
    }
    const Target& target = *chosen;

    const double d = std::hypot(target.aim.x - p.x, target.aim.y - p.y);

    // A fresh cache on every update (over cells kept from one update to the next and emptied at
    // the end of each): heights are memoised only for this update's trial paths.
    const CachedFeature heights =
        CacheOverPlayingField(robot.terrain, kTerrainCellSize, terrainMemo);

    const double speed = BoundedLinearInterpolate(
        kStandstillDistance, 0.0, kFullSpeedFraction * body.maxSpeed, kFullSpeed, d);

    // Slowly, the robot turns to the target itself; otherwise it runs for the point behind it.
    const Point goal = speed < kSlowSpeed ? target.position : target.aim;
    Angle desired = std::atan2(goal.y - p.y, goal.x - p.x);

    if (TrialMaxHeight(heights, speed, desired) > kMaxCourseHeight) {
        const double straight = desired.Normalise().Radians();
        const Angle clockwise = straight - kSideCourseOffset;
        if (TrialMaxHeight(heights, speed, clockwise) <= kMaxCourseHeight) {
            desired = clockwise;
        } else {
            const Angle counterClockwise = straight + kSideCourseOffset;
            if (TrialMaxHeight(heights, speed, counterClockwise) <= kMaxCourseHeight) {
                desired = counterClockwise;
            }
            // Otherwise the straight course stands: both side courses climb above the limit too.
        }
    }

    body.SetEngineOrientation(desired);
    body.SetEngineSpeed(speed);
}

double HeadForTargetMode::TrialMaxHeight(const Feature& heights, double speed,
                                         Angle heading) const {
    const Body& body = GetRobot().body;
    const Point start = body.Position();
    const RobotPath path(start.x, start.y, body.Heading(), body.maxSpeed, body.maxTurnRate,
                         EngineCommand{speed, heading, false});
    return PathInfo(path, heights, kTrialHorizon).maxHeight;
}

} // namespace botpilot

#include "modes/straight_shooter_mode.h"

#include "geometry/point.h"
#include "robot/robot.h"

#include <cmath>

namespace botpilot {

namespace {

/// Above head-for-target and watching robots, below evading.
constexpr double kScore = 0.7;

/// The gun must hold at least this charge to be worth aiming. [Units: percent]
constexpr double kMinCharge = 50.0;

/// How far ahead of now a seen robot's position is predicted. [Units: s]
constexpr double kLeadTime = 0.25;

/// The gun's field of view: 10 degrees, so ±5 degrees about its heading. [Units: rad]
constexpr double kFieldOfView = kPi / 18.0;

/// A robot must be strictly nearer than this. [Units: world units]
constexpr double kRange = 10.0;

/// Full speed ahead. [Units: percent of maxSpeed]
constexpr double kChargeSpeed = 100.0;

} // namespace

std::string StraightShooterMode::GetName() const {
    return "StraightShooter";
}

void StraightShooterMode::Attach(Robot& attachedTo) {
    Mode::Attach(attachedTo);
    AddResource(attachedTo.gun);
    AddResource(attachedTo.body);
}

double StraightShooterMode::GetDesirability() {
    Robot& robot = GetRobot();
    if (robot.gun.charge < kMinCharge) {
        return 0.0;
    }
    // The first qualifying robot in id order is the target, not the nearest one.
    for (const PredictedBattleObject& seen : robot.scanner.robotField.InIdOrder()) {
        const Point q = seen.PredictPosition(kLeadTime);
        const Point p = robot.body.Position();
        const double dx = q.x - p.x;
        const double dy = q.y - p.y;
        if (robot.gun.IsFacing(q, kFieldOfView) && std::hypot(dx, dy) < kRange) {
            // Remembered while scoring: the robot always scores a mode before it updates it.
            aim = std::atan2(dy, dx);
            return kScore;
        }
    }
    return 0.0;
}

void StraightShooterMode::Update() {
    Robot& robot = GetRobot();
    robot.body.SetEngineOrientation(aim);
    robot.body.SetEngineSpeed(kChargeSpeed);
    // A shot that leaves empties the charge, so the mode scores 0 until the next gun reading
    // reports 50 or more; a refused shot changes nothing and is tried again next update.
    robot.gun.Fire();
}

} // namespace botpilot

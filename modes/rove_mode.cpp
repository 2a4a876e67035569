#include "modes/rove_mode.h"

#include "geometry/interpolation.h"
#include "robot/robot.h"
#include "world/playing_field.h"

#include <cmath>

namespace botpilot {

namespace {

// The goals sit this far in from the end walls, on the middle line. [Units: world units]
constexpr double kGoalInset = 1.0;
// Within this distance of an end wall the robot turns back towards the other end.
constexpr double kTurnBackDistance = 3.0;

// The well around the goal: deep and narrow, so paths that close in on the goal are the lowest...
constexpr double kWellDepth = -30.0;
constexpr double kWellWidth = 3.0;
// ...on a shallow slope that still points the way from anywhere on the field.
constexpr double kSlopeNear = 1.0;
constexpr double kSlopeNearHeight = -4.0;
constexpr double kSlopeFar = 50.0;
constexpr double kSlopeFarHeight = 0.0;

} // namespace

RoveMode::RoveMode() {
    const PlayingField& field = PlayingField::Instance();
    leftGoal = Point{field.MinX() + kGoalInset, 0.0};
    rightGoal = Point{field.MaxX() - kGoalInset, 0.0};
    goal = leftGoal;
}

void RoveMode::Update() {
    const PlayingField& field = PlayingField::Instance();
    const double x = GetRobot().body.Position().x;
    // Strict on both bands: standing exactly on one keeps the goal.
    if (x < field.MinX() + kTurnBackDistance) {
        goal = rightGoal;
    }
    if (x > field.MaxX() - kTurnBackDistance) {
        goal = leftGoal;
    }
    TerrainRoverMode::Update();
}

double RoveMode::Height(double x, double y) const {
    const double distance = std::hypot(x - goal.x, y - goal.y);
    return Gaussian(distance, kWellDepth, kWellWidth) +
           BoundedLinearInterpolate(kSlopeNear, kSlopeNearHeight, kSlopeFar, kSlopeFarHeight,
                                    distance);
}

} // namespace botpilot

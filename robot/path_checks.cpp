// Built-in checks of the robot path and the path chooser. The robot paths use a body with a
// maximum speed of 5 and a maximum turning rate of 90 degrees per second, so a full-speed quarter
// turn takes 1 second along a circle of radius 20 / (2π) ≈ 3.1831.

#include "geometry/angle.h"
#include "geometry/check_helpers.h"
#include "geometry/gaussian_feature.h"
#include "geometry/linear_path.h"
#include "robot/path_chooser.h"
#include "robot/robot_checks.h"
#include "robot/robot_path.h"

#include <initializer_list>
#include <vector>

namespace botpilot {

namespace {

using checks::ExpectExactly;
using checks::ExpectNear;

constexpr double kMaxSpeed = 5.0;     // distance per second at engine speed 100
constexpr double kMaxTurnRate = 90.0; // degrees per second

struct ExpectedPoint {
    double t; // [Units: s]
    double x;
    double y;
};

void ExpectPath(double x, double y, Angle heading, double engineSpeed, Angle orientation,
                std::initializer_list<ExpectedPoint> points) {
    const RobotPath path(x, y, heading, kMaxSpeed, kMaxTurnRate, {engineSpeed, orientation, false});
    const Point start = path.PointAt(0.0);
    ExpectNear(x, start.x);
    ExpectNear(y, start.y);
    for (const ExpectedPoint& expected : points) {
        const Point p = path.PointAt(expected.t);
        ExpectNear(expected.x, p.x);
        ExpectNear(expected.y, p.y);
    }
}

// A full-speed quarter turn from the origin, sampled halfway, at its end and one second later.
void ExpectQuarterTurn(Angle heading, double engineSpeed, Angle orientation, Point half, Point end,
                       Point later) {
    ExpectPath(0.0, 0.0, heading, engineSpeed, orientation,
               {{0.5, half.x, half.y}, {1.0, end.x, end.y}, {2.0, later.x, later.y}});
}

constexpr double kR = 3.1831; // the turning radius at full speed
constexpr double kA = 0.9323; // along the arc halfway: R·(1 − cos 45°)
constexpr double kB = 2.2508; // across the arc halfway: R·sin 45°
constexpr double kL = 8.1831; // one second of straight run after the turn: R + 5

} // namespace

void TestPathChooserStraightPath() {
    // A shallow pit centred ahead of the start: moving towards it ends lower than moving away.
    const GaussianFeature pit(0.0, 5.0, -10.0, 10.0);
    const LinearPath away(0.0, 0.0, 0.0, -2.0);
    const LinearPath towards(0.0, 0.0, 0.0, 2.0);
    const PathList paths{away, towards};

    const std::vector<PathInfo> infos = PathChooser::CalculatePathInfo(paths, pit, 0.25);
    ExpectExactly(2.0, static_cast<double>(infos.size()));
    ExpectNear(-8.59633, infos[0].maxHeight);
    ExpectNear(-8.59633, infos[0].endHeight);
    ExpectNear(0.5, infos[0].displacement);
    ExpectNear(-8.82497, infos[1].maxHeight);
    ExpectNear(-9.03707, infos[1].endHeight);
    ExpectNear(0.5, infos[1].displacement);

    ExpectExactly(1.0, PathChooser(pit, 0.25).Choose(paths));
}

void TestRobotPathForwardStraight() {
    ExpectPath(0.0, 0.0, kPi / 4.0, 100.0, kPi / 4.0,
               {{1.0, 3.53553, 3.53553}, {2.0, 7.07107, 7.07107}});
    ExpectPath(3.0, 7.0, kPi, 50.0, kPi, {{2.0, -2.0, 7.0}});
    ExpectPath(3.0, 7.0, -kPi, 50.0, -kPi, {{2.0, -2.0, 7.0}});
}

void TestRobotPathForwardRight() {
    ExpectQuarterTurn(-kPi / 2.0, 100.0, 0.0, {kA, -kB}, {kR, -kR}, {kL, -kR});
    ExpectQuarterTurn(0.0, 100.0, kPi / 2.0, {kB, kA}, {kR, kR}, {kR, kL});
    ExpectQuarterTurn(kPi / 2.0, 100.0, kPi, {-kA, kB}, {-kR, kR}, {-kL, kR});
    ExpectQuarterTurn(kPi, 100.0, -kPi / 2.0, {-kB, -kA}, {-kR, -kR}, {-kR, -kL});
}

void TestRobotPathForwardLeft() {
    ExpectQuarterTurn(-kPi / 2.0, 100.0, kPi, {-kA, -kB}, {-kR, -kR}, {-kL, -kR});
    ExpectQuarterTurn(0.0, 100.0, -kPi / 2.0, {kB, -kA}, {kR, -kR}, {kR, -kL});
    ExpectQuarterTurn(kPi / 2.0, 100.0, 0.0, {kA, kB}, {kR, kR}, {kL, kR});
    ExpectQuarterTurn(kPi, 100.0, kPi / 2.0, {-kB, kA}, {-kR, kR}, {-kR, kL});
}

void TestRobotPathBackwardStraight() {
    ExpectPath(0.0, 0.0, kPi / 4.0, -100.0, kPi / 4.0,
               {{1.0, -3.53553, -3.53553}, {2.0, -7.07107, -7.07107}});
}

void TestRobotPathBackwardLeft() {
    ExpectQuarterTurn(-kPi / 2.0, -100.0, 0.0, {-kA, kB}, {-kR, kR}, {-kL, kR});
    ExpectQuarterTurn(0.0, -100.0, kPi / 2.0, {-kB, -kA}, {-kR, -kR}, {-kR, -kL});
    ExpectQuarterTurn(kPi / 2.0, -100.0, kPi, {kA, -kB}, {kR, -kR}, {kL, -kR});
    ExpectQuarterTurn(kPi, -100.0, -kPi / 2.0, {kB, kA}, {kR, kR}, {kR, kL});
}

void TestRobotPathBackwardRight() {
    ExpectQuarterTurn(-kPi / 2.0, -100.0, kPi, {kA, kB}, {kR, kR}, {kL, kR});
    ExpectQuarterTurn(0.0, -100.0, -kPi / 2.0, {-kB, kA}, {-kR, kR}, {-kR, kL});
    ExpectQuarterTurn(kPi / 2.0, -100.0, 0.0, {-kA, -kB}, {-kR, -kR}, {-kL, -kR});
    ExpectQuarterTurn(kPi, -100.0, kPi / 2.0, {kB, -kA}, {kR, -kR}, {kR, -kL});
}

} // namespace botpilot

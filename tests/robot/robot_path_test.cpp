#include "geometry/angle.h"
#include "robot/robot_path.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace botpilot {
namespace {

constexpr double kTolerance = 0.0001;
// A body with these figures makes a full-speed quarter turn in 1 s on a circle of radius
// 20 / (2π) ≈ 3.1831.
constexpr double kMaxSpeed = 5.0;     // distance per second at engine speed 100
constexpr double kMaxTurnRate = 90.0; // degrees per second
constexpr double kR = 3.1831;         // turning radius at full speed
constexpr double kA = 0.9323;         // R·(1 − cos 45°): halfway along a quarter turn
constexpr double kB = 2.2508;         // R·sin 45°
constexpr double kL = 8.1831;         // R + one second of straight run at full speed

RobotPath MakePath(double x, double y, Angle heading, double engineSpeed, Angle orientation) {
    return RobotPath(x, y, heading, kMaxSpeed, kMaxTurnRate, {engineSpeed, orientation, false});
}

struct TimedPoint {
    double t;
    double x;
    double y;
};

void ExpectPoints(const RobotPath& path, const std::vector<TimedPoint>& points,
                  const std::string& label) {
    for (const TimedPoint& expected : points) {
        const Point p = path.PointAt(expected.t);
        EXPECT_NEAR(p.x, expected.x, kTolerance) << label << " at t = " << expected.t;
        EXPECT_NEAR(p.y, expected.y, kTolerance) << label << " at t = " << expected.t;
    }
}

TEST(RobotPathTest, StraightRunsFollowTheHeadingWithoutTurning) {
    struct Case {
        double x, y, heading, engineSpeed, orientation;
        std::vector<TimedPoint> points;
    };
    const Case cases[] = {
        {0, 0, kPi / 4, 100.0, kPi / 4, {{1, 3.53553, 3.53553}, {2, 7.07107, 7.07107}}},
        {3, 7, kPi, 50.0, kPi, {{2, -2, 7}}},
        {3, 7, -kPi, 50.0, -kPi, {{2, -2, 7}}},
        {0, 0, kPi / 4, -100.0, kPi / 4, {{1, -3.53553, -3.53553}, {2, -7.07107, -7.07107}}},
        // −π and +π are the same direction: no turn.
        {3, 7, -kPi, 50.0, kPi, {{2, -2, 7}}},
    };
    for (const Case& c : cases) {
        const RobotPath path = MakePath(c.x, c.y, c.heading, c.engineSpeed, c.orientation);
        const std::string label =
            "heading " + std::to_string(c.heading) + ", speed " + std::to_string(c.engineSpeed);
        EXPECT_EQ(path.TurnTime(), 0.0) << label;
        ExpectPoints(path, {{0, c.x, c.y}}, label);
        ExpectPoints(path, c.points, label);
    }
}

TEST(RobotPathTest, QuarterTurnsAtFullSpeedTakeOneSecondTheShorterWay) {
    struct Case {
        double heading, engineSpeed, orientation;
        Point half, end, later; // at t = 0.5, 1 and 2
    };
    const Case cases[] = {
        // Forwards, counter-clockwise.
        {-kPi / 2, 100.0, 0.0, {kA, -kB}, {kR, -kR}, {kL, -kR}},
        {0.0, 100.0, kPi / 2, {kB, kA}, {kR, kR}, {kR, kL}},
        {kPi / 2, 100.0, kPi, {-kA, kB}, {-kR, kR}, {-kL, kR}},
        {kPi, 100.0, -kPi / 2, {-kB, -kA}, {-kR, -kR}, {-kR, -kL}},
        // Forwards, clockwise.
        {-kPi / 2, 100.0, kPi, {-kA, -kB}, {-kR, -kR}, {-kL, -kR}},
        {0.0, 100.0, -kPi / 2, {kB, -kA}, {kR, -kR}, {kR, -kL}},
        {kPi / 2, 100.0, 0.0, {kA, kB}, {kR, kR}, {kL, kR}},
        {kPi, 100.0, kPi / 2, {-kB, kA}, {-kR, kR}, {-kR, kL}},
        // Backwards: the centre lies on the other side for the same turn.
        {-kPi / 2, -100.0, 0.0, {-kA, kB}, {-kR, kR}, {-kL, kR}},
        {0.0, -100.0, kPi / 2, {-kB, -kA}, {-kR, -kR}, {-kR, -kL}},
        {kPi / 2, -100.0, kPi, {kA, -kB}, {kR, -kR}, {kL, -kR}},
        {kPi, -100.0, -kPi / 2, {kB, kA}, {kR, kR}, {kR, kL}},
        {-kPi / 2, -100.0, kPi, {kA, kB}, {kR, kR}, {kL, kR}},
        {0.0, -100.0, -kPi / 2, {-kB, kA}, {-kR, kR}, {-kR, kL}},
        {kPi / 2, -100.0, 0.0, {-kA, -kB}, {-kR, -kR}, {-kL, -kR}},
        {kPi, -100.0, kPi / 2, {kB, -kA}, {kR, -kR}, {kR, -kL}},
    };
    for (const Case& c : cases) {
        const RobotPath path = MakePath(0.0, 0.0, c.heading, c.engineSpeed, c.orientation);
        const std::string label = "heading " + std::to_string(c.heading) + ", speed " +
                                  std::to_string(c.engineSpeed) + ", orientation " +
                                  std::to_string(c.orientation);
        EXPECT_NEAR(path.TurnTime(), 1.0, 1e-12) << label;
        EXPECT_NEAR(path.Radius(), kR, kTolerance) << label;
        ExpectPoints(path,
                     {{0.0, 0.0, 0.0},
                      {0.5, c.half.x, c.half.y},
                      {1.0, c.end.x, c.end.y},
                      {2.0, c.later.x, c.later.y}},
                     label);
    }
}

TEST(RobotPathTest, TurnsAreTakenFromNormalisedAngles) {
    // A heading given as 3π/2 is −π/2; an orientation of 2π is 0: a quarter turn, not three.
    const RobotPath wound = MakePath(0.0, 0.0, 1.5 * kPi, 100.0, 2.0 * kPi);
    EXPECT_NEAR(wound.TurnTime(), 1.0, 1e-12);
    ExpectPoints(wound, {{0.5, kA, -kB}, {2.0, kL, -kR}}, "wound angles");
}

TEST(RobotPathTest, HalfSpeedTurnFromAnOffsetStartHasHalfTheRadius) {
    const RobotPath path = MakePath(3.0, 7.0, 0.0, 50.0, kPi / 2);
    EXPECT_NEAR(path.Radius(), kR / 2, kTolerance);
    EXPECT_NEAR(path.TurnTime(), 1.0, 1e-12); // the turning rate does not depend on the speed
    ExpectPoints(path,
                 {{0.0, 3.0, 7.0},
                  {1.0, 3.0 + kR / 2, 7.0 + kR / 2},
                  {2.0, 3.0 + kR / 2, 7.0 + kR / 2 + 2.5}},
                 "half speed");
}

TEST(RobotPathTest, ArcAcrossTheHalfTurnLineRunsTheShortWay) {
    // Heading −3π/4 turning to −π/4: seen from the centre the robot sweeps from 3π/4 through π
    // to 5π/4, across the ±π line.
    const RobotPath path = MakePath(0.0, 0.0, -0.75 * kPi, 100.0, -0.25 * kPi);
    const double across = kR * std::sqrt(2.0); // the chord of a quarter turn
    ExpectPoints(path,
                 {{0.5, kB - kR, -kB},
                  {1.0, 0.0, -across},
                  {2.0, 5.0 / std::sqrt(2.0), -across - 5.0 / std::sqrt(2.0)}},
                 "across ±π");
}

TEST(RobotPathTest, HalfTurnGoesCounterClockwise) {
    // Exactly π apart the normalised turn is +π.
    const RobotPath path = MakePath(0.0, 0.0, 0.0, 100.0, kPi);
    EXPECT_NEAR(path.TurnTime(), 2.0, 1e-12);
    ExpectPoints(path, {{1.0, kR, kR}, {2.0, 0.0, 2 * kR}, {3.0, -5.0, 2 * kR}}, "half turn");
}

TEST(RobotPathTest, ZeroSpeedTurnsOnTheSpotAndStays) {
    const RobotPath path = MakePath(3.0, -2.0, 0.0, 0.0, kPi / 2);
    EXPECT_EQ(path.Radius(), 0.0);
    EXPECT_NEAR(path.TurnTime(), 1.0, 1e-12);
    for (const double t : {-1.0, 0.0, 0.5, 1.0, 2.0, 100.0}) {
        const Point p = path.PointAt(t);
        EXPECT_EQ(p.x, 3.0) << "t = " << t;
        EXPECT_EQ(p.y, -2.0) << "t = " << t;
    }
}

TEST(RobotPathTest, AtTurnTimeTheStraightRunStartsWhereTheTurnEnds) {
    const RobotPath path = MakePath(0.0, 0.0, 0.0, 100.0, kPi / 2);
    const double turnTime = path.TurnTime();
    const Point atEnd = path.PointAt(turnTime);
    const Point justBefore = path.PointAt(std::nextafter(turnTime, 0.0));
    EXPECT_NEAR(atEnd.x, kR, kTolerance);
    EXPECT_NEAR(atEnd.y, kR, kTolerance);
    EXPECT_NEAR(justBefore.x, atEnd.x, 1e-9);
    EXPECT_NEAR(justBefore.y, atEnd.y, 1e-9);
}

TEST(RobotPathTest, TimesBeforeTheStartGiveTheStartPoint) {
    for (const double orientation : {0.0, kPi / 2}) {
        const RobotPath path = MakePath(3.0, 7.0, 0.0, 100.0, orientation);
        ExpectPoints(path, {{-1.0, 3.0, 7.0}}, "orientation " + std::to_string(orientation));
    }
}

// Regression: a turning rate of 0 divided by zero in the radius and the turning time, and a
// negative one gave a negative turning time.
TEST(RobotPathTest, RejectsATurningRateThatIsNotPositive) {
    struct Case {
        double rate;
        const char* message;
    };
    const Case cases[] = {
        {0.0, "Maximum turning rate must be positive, got 0"},
        {-90.0, "Maximum turning rate must be positive, got -90"},
        {std::numeric_limits<double>::quiet_NaN(),
         "Maximum turning rate must be positive, got nan"},
    };
    for (const Case& c : cases) {
        try {
            RobotPath(0.0, 0.0, 0.0, kMaxSpeed, c.rate, {100.0, kPi / 2, false});
            ADD_FAILURE() << "no exception for rate " << c.rate;
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

} // namespace
} // namespace botpilot

namespace botpilot {
namespace {

// The turn-then-run model with every quantity worked out where it is used, per path and per
// point: the form the shared start and the precomputed arc ends must reproduce bit for bit, or
// the path chooser could pick another candidate.
Point PointWorkedOutInFull(double x, double y, Angle heading, double maxSpeed, double maxTurnRate,
                           const EngineCommand& command, double t) {
    const auto normalised = [](Angle a) { return a.Normalise().Radians(); };
    const double v = maxSpeed * command.engineSpeed * 0.01;
    const double radius = (360.0 / maxTurnRate) * std::abs(v) / (2.0 * kPi);
    const double delta = normalised(normalised(command.orientation) - normalised(heading));
    const double turnTime = std::abs(delta) / (maxTurnRate * kPi * 0.005555555555555556);
    const bool left =
        (command.engineSpeed > 0.0 && delta > 0.0) || (command.engineSpeed < 0.0 && delta < 0.0);
    const double phi = left ? normalised(heading) + kPi / 2.0 : normalised(heading) - kPi / 2.0;
    const double centreX = x + radius * std::cos(phi);
    const double centreY = y + radius * std::sin(phi);
    const double dy = y - centreY;
    const double dx = x - centreX;
    const Angle startAngle = (dx == 0.0 && dy == 0.0) ? 0.0 : std::atan2(dy, dx);
    const Angle endAngle = normalised(startAngle) + delta;
    if (!(t < turnTime)) {
        const double endX = centreX + radius * std::cos(normalised(endAngle));
        const double endY = centreY + radius * std::sin(normalised(endAngle));
        const double theta = normalised(command.orientation);
        const double s = t - turnTime;
        return {endX + s * (v * std::cos(theta)), endY + s * (v * std::sin(theta))};
    }
    const double a = Angle::AngleAtFraction(0.0, startAngle, turnTime, endAngle, t);
    return {centreX + radius * std::cos(a), centreY + radius * std::sin(a)};
}

TEST(RobotPathTest, PointsAreBitForBitThoseOfTheModelWorkedOutInFull) {
    const double speeds[] = {100.0, 50.0, 12.5, 0.0, -100.0, -37.0};
    const double headings[] = {0.0, 0.3, kPi, -kPi, 3.0 * kPi, -2.9, 1.5707963267948966};
    const double turns[] = {0.0, 0.1, -0.1, 1.5000000000000002, -1.5, kPi / 2.0, 3.1, -3.1};
    // One memo for every start, never cleared: it meets many more angles than it can hold, so
    // both its look-ups and its fallback once full are compared.
    TrigMemo memo;
    for (const double heading : headings) {
        const PathStart start(-3.25, 7.5, heading, 12.0, 180.0);
        PathStart memoStart = start;
        memoStart.trig = &memo;
        for (const double speed : speeds) {
            for (const double turn : turns) {
                const EngineCommand command{speed, heading + turn, false};
                const RobotPath shared(start, command);
                const RobotPath own(-3.25, 7.5, heading, 12.0, 180.0, command);
                const RobotPath memoised(memoStart, command);
                for (double t = 0.0; t <= 0.3; t += 0.025) {
                    const Point expected =
                        PointWorkedOutInFull(-3.25, 7.5, heading, 12.0, 180.0, command, t);
                    for (const RobotPath* path : {&shared, &own, &memoised}) {
                        const Point p = path->PointAt(t);
                        ASSERT_EQ(p.x, expected.x) << heading << " " << speed << " " << turn;
                        ASSERT_EQ(p.y, expected.y) << heading << " " << speed << " " << turn;
                    }
                }
            }
        }
    }
}

} // namespace
} // namespace botpilot

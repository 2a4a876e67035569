#include "geometry/clock.h"
#include "geometry/interpolation.h"
#include "world/check_scopes.h"
#include "world/predicted_battle_object.h"
#include "world/seen_objects.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <typeinfo>
#include <vector>

namespace botpilot {
namespace {

constexpr double kTolerance = 1e-9;

TEST(PredictedBattleObjectTest, VelocityComesFromTheLastTwoSightingsOnly) {
    const checks::ScopedClock clock(0.0);
    PredictedBattleObject object;
    Clock::Advance(1.0);
    object.SetPosition(10.0, 0.0); // the clock moved since creation: measured from the origin
    EXPECT_NEAR(object.Velocity().x, 10.0, kTolerance);
    Clock::Advance(0.5);
    object.SetPosition(10.0, 1.0);
    EXPECT_NEAR(object.Velocity().x, 0.0, kTolerance);
    EXPECT_NEAR(object.Velocity().y, 2.0, kTolerance);
    // Two sightings at one instant give rest, not a division by zero.
    object.SetPosition(12.0, 1.0);
    EXPECT_EQ(object.Velocity().x, 0.0);
    EXPECT_EQ(object.Velocity().y, 0.0);
    EXPECT_EQ(object.ObservationCount(), 3);
}

TEST(PredictedBattleObjectTest, PredictsAtConstantVelocityFromThePresent) {
    const checks::ScopedClock clock(100.0);
    PredictedBattleObject object;
    object.SetPosition(1.0, 1.0);
    Clock::Advance(2.0);
    object.SetPosition(3.0, 0.0); // (1, −0.5) per second
    Clock::Advance(4.0);
    EXPECT_NEAR(object.Position().x, 7.0, kTolerance);
    EXPECT_NEAR(object.Position().y, -2.0, kTolerance);
    EXPECT_EQ(object.PositionTime(), Clock::Now());
    EXPECT_NEAR(object.PredictPosition(2.0).x, 9.0, kTolerance);
    EXPECT_NEAR(object.PredictPosition(-6.0).y, 1.0, kTolerance);      // backwards in time too
    EXPECT_NEAR(object.PredictPosition(1000.0).x, 1007.0, kTolerance); // not held to the field
}

TEST(PredictedBattleObjectTest, CreateMakesAFreshObjectOfItsOwnKind) {
    const checks::ScopedClock clock(5.0);
    PredictedBattleObject plain;
    SeenRobot robot;
    SeenObject shell;
    for (PredictedBattleObject* prototype :
         std::vector<PredictedBattleObject*>{&plain, &robot, &shell}) {
        prototype->SetId(9);
        prototype->SetPosition(3.0, 3.0);
        Clock::Advance(1.0);
        const std::unique_ptr<PredictedBattleObject> created = prototype->Create();
        ASSERT_NE(created, nullptr);
        const PredictedBattleObject& made = *created;
        const PredictedBattleObject& original = *prototype;
        EXPECT_EQ(typeid(made), typeid(original));
        EXPECT_EQ(created->Id(), 0);
        EXPECT_EQ(created->ObservationCount(), 0);
        EXPECT_EQ(created->Position().x, 0.0);
        EXPECT_EQ(created->Age(), 0.0);
    }
}

TEST(SeenRobotTest, RaisesARidgeFiveUnitsAheadAlongItsHeading) {
    const checks::ScopedClock clock(0.0);
    SeenRobot robot;
    robot.SetPosition(2.0, 1.0);
    robot.SetHeading(2.0 * kPi + kPi / 2.0); // normalised before use: +y
    struct Case {
        double x;
        double y;
        double height;
    };
    const Case cases[] = {
        {2.0, 1.0, 50.0},                   // at the robot
        {2.0, 6.0, 30.0},                   // 5 ahead
        {2.0, 3.5, 40.0},                   // halfway
        {4.0, 1.0, 50.0 * std::exp(-0.5)},  // one width aside
        {2.0, -1.0, 50.0 * std::exp(-0.5)}, // one width behind
        {2.0, 8.0, 30.0 * std::exp(-0.5)},  // one width beyond the end
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(robot.Height(c.x, c.y), c.height, 1e-9) << c.x << ", " << c.y;
    }
}

TEST(SeenObjectTest, RaisesARidgeAlongItsTrackOfTheNextFiveSeconds) {
    const checks::ScopedClock clock(0.0);
    SeenObject shell;
    shell.SetPosition(0.0, 0.0);
    Clock::Advance(1.0);
    shell.SetPosition(1.0, 0.0); // 1 per second along +x
    Clock::Advance(1.0);         // now at (2, 0); in 5 s at (7, 0)
    struct Case {
        double x;
        double y;
        double height;
    };
    const Case cases[] = {
        {2.0, 0.0, 100.0},
        {7.0, 0.0, 70.0},
        {4.5, 0.0, 85.0},
        {4.5, 1.0, 85.0 * std::exp(-0.5)},
        {1.0, 0.0, 100.0 * std::exp(-0.5)}, // behind: where it was
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(shell.Height(c.x, c.y), c.height, 1e-9) << c.x << ", " << c.y;
    }
}

// The ridges are worked out once per state of the object and of the clock. Every way the state
// can change must be seen: a stale ridge would put the danger where the object no longer is.
TEST(SeenObjectsTest, RidgesFollowEveryChangeOfTheObjectAndOfTheClock) {
    const checks::ScopedClock clock(0.0);
    SeenRobot robot;
    SeenObject shell;
    // What each height must be: the ridge worked out afresh from the object's present state.
    const auto robotRidge = [&](double x, double y) {
        const Point p = robot.Position();
        const double h = robot.Heading().Normalise().Radians();
        return SegmentGaussian(x, y, p.x, p.y, 50, p.x + 5 * std::cos(h), p.y + 5 * std::sin(h), 30,
                               2);
    };
    const auto shellRidge = [&](double x, double y) {
        const Point p = shell.Position();
        const Point f = shell.PredictPosition(5.0);
        return SegmentGaussian(x, y, p.x, p.y, 100, f.x, f.y, 70, 1);
    };
    const auto expectFresh = [&](const char* after) {
        for (const Point q : {Point{0.5, 0.5}, Point{3.0, -1.0}, Point{-2.0, 4.0}}) {
            EXPECT_EQ(robot.Height(q.x, q.y), robotRidge(q.x, q.y)) << "robot, after " << after;
            EXPECT_EQ(shell.Height(q.x, q.y), shellRidge(q.x, q.y)) << "shell, after " << after;
        }
    };
    expectFresh("construction");
    robot.SetPosition(1.0, 1.0);
    shell.SetPosition(1.0, 1.0);
    expectFresh("the first sighting");
    Clock::Advance(0.5);
    expectFresh("the clock moved"); // the robot is at rest, but the shell's track moved on
    robot.SetPosition(2.0, 0.5);
    shell.SetPosition(2.0, 0.5);
    expectFresh("a second sighting, moving");
    Clock::Advance(0.25);
    expectFresh("the clock moved again: both are extrapolated");
    robot.SetHeading(2.5);
    expectFresh("a new heading");
    robot.SetVelocity(-1.0, 0.0);
    shell.SetVelocity(0.0, 3.0);
    expectFresh("a new velocity");
    Clock::Set(0.75); // the same time again
    expectFresh("the clock set to the time it had");
    Clock::Set(-0.0);
    robot.Height(0.0, 0.0);
    Clock::Set(0.0); // equal to -0 in value, not in bits
    expectFresh("the clock set from -0 to 0");
}

} // namespace
} // namespace botpilot

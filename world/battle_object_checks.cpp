// Built-in checks of battle objects: facing, mounting and prediction.

#include "geometry/check_helpers.h"
#include "geometry/clock.h"
#include "world/battle_object.h"
#include "world/check_scopes.h"
#include "world/mounted_battle_object.h"
#include "world/predicted_battle_object.h"
#include "world/world_checks.h"

namespace botpilot {

using checks::ExpectBool;
using checks::ExpectNear;

namespace {

void ExpectPoint(Point expected, Point actual) {
    ExpectNear(expected.x, actual.x);
    ExpectNear(expected.y, actual.y);
}

} // namespace

void TestIsFacing() {
    const Angle oneDegree = kPi / 180.0;
    const Angle twoDegrees = 0.011111111111111112 * kPi;
    const Point ahead{0.0, -5.0};
    const Point aside{5.0, -5.0};

    BattleObject object; // at the origin
    object.SetHeading(-kPi / 2.0);
    ExpectBool(true, object.IsFacing(ahead, oneDegree));
    ExpectBool(false, object.IsFacing(aside, oneDegree));

    // One degree off (−0.49444444444444446π). With a two-degree view the point lies exactly on
    // the edge of the view, where the strict test is settled by rounding: the heading is written
    // as −89π/180 because the product −0.49444444444444446·π rounds one unit in the last place
    // the other way and leaves the point just outside.
    object.SetHeading(-89.0 * kPi / 180.0);
    ExpectBool(false, object.IsFacing(ahead, oneDegree));
    ExpectBool(false, object.IsFacing(aside, oneDegree));
    ExpectBool(true, object.IsFacing(ahead, twoDegrees));

    // Heading and bearing on either side of the ±π line, a fraction of a degree apart.
    object.SetHeading(kPi - 0.001);
    ExpectBool(true, object.IsFacing(Point{-5.0, -0.005}, oneDegree));
    object.SetHeading(-kPi + 0.001);
    ExpectBool(true, object.IsFacing(Point{-5.0, 0.0}, oneDegree));
}

void TestMountedBattleObject() {
    BattleObject base;
    base.SetHeading(kPi / 2.0);
    base.SetPosition(3.0, 4.0);
    base.SetVelocity(-1.0, -5.0);

    MountedBattleObject mounted(base);
    mounted.SetRelativeHeading(kPi / 4.0);
    ExpectPoint(Point{3.0, 4.0}, mounted.Position());
    ExpectPoint(Point{-1.0, -5.0}, mounted.Velocity());
    ExpectNear(kPi / 4.0, mounted.RelativeHeading().Radians());
    ExpectNear(0.75 * kPi, mounted.Heading().Normalise().Radians());
}

void TestPredictedBattleObject() {
    const checks::ScopedClock clock(0.0);
    PredictedBattleObject object;
    ExpectPoint(Point{0.0, 0.0}, object.Position());
    ExpectPoint(Point{0.0, 0.0}, object.Velocity());

    object.SetPosition(3.0, 4.0); // first sighting at the construction time: at rest
    ExpectPoint(Point{3.0, 4.0}, object.Position());
    ExpectPoint(Point{0.0, 0.0}, object.Velocity());

    Clock::Advance(2.0);
    object.SetPosition(5.0, 0.0);
    ExpectPoint(Point{5.0, 0.0}, object.Position());
    ExpectNear(2.0, Clock::Now());
    ExpectPoint(Point{1.0, -2.0}, object.Velocity());

    Clock::Advance(3.0);
    ExpectPoint(Point{8.0, -6.0}, object.Position());
    ExpectNear(5.0, Clock::Now());
    ExpectPoint(Point{1.0, -2.0}, object.Velocity());
    ExpectNear(3.0, object.Age()); // reading the position does not make it younger
}

} // namespace botpilot

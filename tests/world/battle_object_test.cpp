#include "geometry/clock.h"
#include "world/battle_object.h"
#include "world/check_scopes.h"
#include "world/mounted_battle_object.h"
#include "world/predicted_battle_object.h"

#include <cmath>
#include <gtest/gtest.h>

namespace botpilot {
namespace {

constexpr double kTolerance = 1e-9;
const Angle kOneDegree = kPi / 180.0;

// Regression: the facing test used to compare the plain difference of heading and bearing, so a
// point just across the ±π line from the heading counted as not faced although it lay dead ahead.
TEST(BattleObjectTest, FacesAPointJustAcrossThePiLine) {
    BattleObject object;
    object.SetHeading(kPi - 0.001);
    EXPECT_TRUE(object.IsFacing(Point{-5.0, -0.005}, kOneDegree)); // bearing −π + 0.001
    object.SetHeading(-kPi + 0.001);
    EXPECT_TRUE(object.IsFacing(Point{-5.0, 0.0}, kOneDegree)); // bearing +π
    object.SetHeading(kPi);
    EXPECT_TRUE(object.IsFacing(Point{-5.0, -0.001}, kOneDegree));
}

TEST(BattleObjectTest, FacingIsTheSameInEveryDirection) {
    // Headings all round, the ±π line and unnormalised values included; from a point off the
    // origin. Within a one-degree view: 0.4 degrees off is faced, 0.6 degrees off is not.
    const double headings[] = {0.0,        kPi / 2.0,    -kPi / 2.0,    kPi,
                               -kPi,       kPi - 0.0001, -kPi + 0.0001, 3.0 * kPi,
                               -2.5 * kPi, 0.75 * kPi,   -0.75 * kPi};
    const Point origin{2.0, -3.0};
    const double range = 7.0;
    for (const double heading : headings) {
        BattleObject object;
        object.SetPosition(origin.x, origin.y);
        object.SetHeading(heading);
        struct Offset {
            double degrees;
            bool faced;
        };
        for (const Offset offset :
             {Offset{0.0, true}, Offset{0.4, true}, Offset{-0.4, true}, Offset{0.6, false},
              Offset{-0.6, false}, Offset{180.0, false}}) {
            const double bearing = heading + offset.degrees * kPi / 180.0;
            const Point target{origin.x + range * std::cos(bearing),
                               origin.y + range * std::sin(bearing)};
            EXPECT_EQ(object.IsFacing(target, kOneDegree), offset.faced)
                << "heading " << heading << ", offset " << offset.degrees << " degrees";
        }
    }
}

TEST(BattleObjectTest, FacesAnotherObjectAtItsPresentPosition) {
    const checks::ScopedClock clock(0.0);
    BattleObject watcher;
    watcher.SetHeading(0.0);
    PredictedBattleObject target; // observed at (−1, 5), then at (0, 5): moving +x at 1 per s
    Clock::Advance(1.0);
    target.SetPosition(-1.0, 5.0);
    Clock::Advance(1.0);
    target.SetPosition(0.0, 5.0);
    EXPECT_FALSE(watcher.IsFacing(target, kOneDegree));
    Clock::Advance(1000.0); // at (1000, 5): within half a degree of the +x axis
    EXPECT_TRUE(watcher.IsFacing(target, kOneDegree));
}

TEST(MountedBattleObjectTest, ForwardsPositionAndVelocityToItsMount) {
    const checks::ScopedClock clock(0.0);
    BattleObject body;
    MountedBattleObject device(body);
    Clock::Advance(2.0);
    device.SetPosition(3.0, 4.0);
    device.SetVelocity(-1.0, -5.0);
    EXPECT_EQ(body.Position().x, 3.0);
    EXPECT_EQ(body.Position().y, 4.0);
    EXPECT_EQ(body.Velocity().x, -1.0);
    EXPECT_EQ(body.Velocity().y, -5.0);
    EXPECT_EQ(device.PositionTime(), 2.0);
    EXPECT_EQ(device.VelocityTime(), 2.0);

    Clock::Advance(1.0);
    body.SetHeading(1.0);
    EXPECT_EQ(device.HeadingTime(), 3.0); // the mount's
    EXPECT_EQ(device.RelativeHeadingTime(), 0.0);
}

TEST(MountedBattleObjectTest, CombinesItsHeadingWithTheMountsWithoutNormalisingTheSum) {
    BattleObject body;
    MountedBattleObject device(body);
    struct Case {
        double mountHeading;
        double relativeHeading;
        double combined; // as returned, before any normalising
    };
    const Case cases[] = {
        {kPi / 2.0, kPi / 4.0, 0.75 * kPi},
        {0.75 * kPi, 0.75 * kPi, 1.5 * kPi},      // beyond π: left to the caller
        {2.5 * kPi, -3.0 * kPi, kPi / 2.0 + kPi}, // each part normalised first
        {-kPi, -kPi, 2.0 * kPi},                  // −π counts as +π
    };
    for (const Case& c : cases) {
        body.SetHeading(c.mountHeading);
        device.SetRelativeHeading(c.relativeHeading);
        EXPECT_NEAR(device.Heading().Radians(), c.combined, kTolerance)
            << "mount " << c.mountHeading << ", relative " << c.relativeHeading;
    }
}

TEST(MountedBattleObjectTest, SettingTheHeadingTurnsTheDeviceNotTheMount) {
    const checks::ScopedClock clock(0.0);
    BattleObject body;
    body.SetHeading(kPi / 2.0);
    MountedBattleObject device(body);
    Clock::Advance(1.5);
    device.SetHeading(-0.75 * kPi);
    EXPECT_EQ(body.Heading().Radians(), kPi / 2.0);
    EXPECT_NEAR(device.RelativeHeading().Radians(), -1.25 * kPi, kTolerance); // not normalised
    EXPECT_EQ(device.RelativeHeadingTime(), 1.5);
    EXPECT_NEAR(device.Heading().Normalise().Radians(), -0.75 * kPi, kTolerance);
}

TEST(MountedBattleObjectTest, FacesAlongItsCombinedHeadingFromItsMountsPosition) {
    BattleObject body;
    body.SetPosition(10.0, 0.0);
    body.SetHeading(kPi / 2.0);
    MountedBattleObject scanner(body);
    scanner.SetRelativeHeading(kPi / 2.0); // combined: π, towards −x
    EXPECT_TRUE(scanner.IsFacing(Point{0.0, 0.0}, kOneDegree));
    EXPECT_FALSE(scanner.IsFacing(Point{10.0, 10.0}, kOneDegree));
    EXPECT_TRUE(body.IsFacing(Point{10.0, 10.0}, kOneDegree));
}

} // namespace
} // namespace botpilot

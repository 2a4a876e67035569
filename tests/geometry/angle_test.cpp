#include "geometry/angle.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace botpilot {
namespace {

constexpr double kTolerance = 0.0001;
constexpr double kTurn = 2.0 * kPi;

TEST(AngleTest, StoresTheValueUnchanged) {
    EXPECT_EQ(Angle().Radians(), 0.0);
    EXPECT_EQ(Angle(kPi + 1.0).Radians(), kPi + 1.0);
    const Angle assigned = -7.5; // assignment from radians stores them as they are
    EXPECT_EQ(assigned.Radians(), -7.5);
}

TEST(AngleTest, NormaliseLandsInHalfOpenRangeAroundZero) {
    struct Case {
        double input;
        double expected;
    };
    const Case cases[] = {
        {0.0, 0.0},           {2.1, 2.1},        {kPi + 1.0, 1.0 - kPi},
        {kTurn, 0.0},         {-3.0 * kPi, kPi}, {3.0 * kPi, kPi},
        {-kPi, kPi},          {kPi, kPi},        {-kPi / 2, -kPi / 2},
        {-7.0, -7.0 + kTurn},
    };
    for (const Case& c : cases) {
        const double result = Angle(c.input).Normalise().Radians();
        EXPECT_NEAR(result, c.expected, kTolerance) << "input " << c.input;
        EXPECT_GT(result, -kPi) << "input " << c.input;
        EXPECT_LE(result, kPi) << "input " << c.input;
    }
}

TEST(AngleTest, NormaliseKeepsExactValuesOnTheBoundaryAndAtZero) {
    EXPECT_EQ(Angle(0.0).Normalise().Radians(), 0.0);
    EXPECT_EQ(Angle(-kPi).Normalise().Radians(), kPi); // −π is represented as +π
    EXPECT_EQ(Angle(kPi).Normalise().Radians(), kPi);
}

// Regression: stepping by whole turns never ended for magnitudes where subtracting 2π is lost
// to rounding, nor for infinities.
TEST(AngleTest, NormaliseEndsForHugeAndNonFiniteInputs) {
    for (const double input : {1e17, -1e17, 1e300, -1e300, 1e6 + 0.25}) {
        const double result = Angle(input).Normalise().Radians();
        EXPECT_GT(result, -kPi) << "input " << input;
        EXPECT_LE(result, kPi) << "input " << input;
    }
    // Where whole turns of kPi are still close to true turns, the direction is kept.
    EXPECT_NEAR(std::cos(Angle(1e6 + 0.25).Normalise().Radians()), std::cos(1e6 + 0.25), 1e-6);
    const double infinity = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(std::isnan(Angle(infinity).Normalise().Radians()));
    EXPECT_TRUE(std::isnan(Angle(-infinity).Normalise().Radians()));
    EXPECT_TRUE(std::isnan(Angle(std::nan("")).Normalise().Radians()));
}

TEST(AngleTest, ToPositiveRadiansAddsOneTurnToNegativesOnly) {
    struct Case {
        double input;
        double expected;
    };
    const Case cases[] = {
        {0.0, 0.0},  {-0.5, kTurn - 0.5}, {kPi, kPi},
        {-kPi, kPi}, {3.5, 3.5},          {-7.0, -7.0 + kTurn}, // one addition, no loop
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(Angle::ToPositiveRadians(c.input), c.expected, kTolerance)
            << "input " << c.input;
    }
}

TEST(AngleTest, CrossesBoundaryOnlyWhenTheShorterArcPassesPlusMinusPi) {
    struct Case {
        double from;
        double to;
        bool crosses;
    };
    const Case cases[] = {
        {0.5, -0.5, false},         {0.5, kPi - 0.1, false}, {0.5, -(kPi - 0.1), true},
        {3.0, -3.0, true},          {kPi, -3.0, false}, // exactly at π does not count
        {-kPi, 3.0, false},         // nor at −π, which is π on the positive axis
        {-kPi / 2, kPi / 2, false}, // exactly π apart
        {0.1, -3.0, false},         // the shorter arc passes 0
        {-3.1, -3.1, false},        // no arc at all
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Angle(c.from).CrossesBoundary(c.to), c.crosses) << c.from << " to " << c.to;
        EXPECT_EQ(Angle(c.to).CrossesBoundary(c.from), c.crosses) << c.to << " to " << c.from;
    }
}

TEST(AngleTest, AngleAtFractionFollowsTheShorterArc) {
    struct Case {
        double a0;
        double a1;
        double x;
        double expected;
    };
    const Case cases[] = {
        {0.0, kPi / 2, 0.5, kPi / 4},
        {0.0, -kPi / 2, 0.5, -kPi / 4},
        {-0.75 * kPi, 0.75 * kPi, 0.5, kPi},
        {kPi, kPi / 2, 0.5, 0.75 * kPi},
        {-kPi, -kPi / 2, 0.5, -0.75 * kPi}, // stored values, not normalised
        // Held at the ends; across the ±π line those ends are on the [0, 2π) axis.
        {-0.75 * kPi, 0.75 * kPi, -1.0, 1.25 * kPi},
        {-0.75 * kPi, 0.75 * kPi, 2.0, 0.75 * kPi},
        {0.0, kPi / 2, 3.0, kPi / 2},
        {-0.75 * kPi, 0.75 * kPi, 0.0, 1.25 * kPi},
        {-0.75 * kPi, 0.75 * kPi, 1.0, 0.75 * kPi},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(Angle::AngleAtFraction(0.0, c.a0, 1.0, c.a1, c.x), c.expected, kTolerance)
            << c.a0 << " to " << c.a1 << " at " << c.x;
    }
}

TEST(AngleTest, ValueAtAngleFollowsTheShorterArc) {
    struct Case {
        double a0;
        double a1;
        double a;
        double expected;
    };
    const Case cases[] = {
        {0.0, kPi / 2, kPi / 4, 7.5},
        {0.0, -kPi / 2, -kPi / 4, 7.5},
        {-0.75 * kPi, 0.75 * kPi, kPi, 7.5},
        {-0.75 * kPi, 0.75 * kPi, -kPi, 7.5},         // the same direction written as −π
        {-0.75 * kPi, 0.75 * kPi, 0.875 * kPi, 8.75}, // a quarter of the way from 0.75π
        {-0.75 * kPi, 0.75 * kPi, 0.0, 10.0},         // beyond the arc: held at an end
        {kTurn, kPi / 2, kPi / 4, 7.5},               // ends are normalised, 2π is 0
        {0.0, kPi / 2, -1.0, 5.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(Angle::ValueAtAngle(c.a0, 5.0, c.a1, 10.0, c.a), c.expected, kTolerance)
            << c.a0 << " to " << c.a1 << " at " << c.a;
    }
}

} // namespace
} // namespace botpilot

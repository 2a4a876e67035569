#include "geometry/gaussian_feature.h"
#include "world/check_scopes.h"
#include "world/playing_field.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace botpilot {
namespace {

constexpr double kTolerance = 1e-9;

TEST(PlayingFieldTest, WallPotentialFallsOffAsAGaussianOnBothSidesOfEachWall) {
    const checks::ScopedPlayingFieldSize size; // 30 by 20
    const PlayingField& field = PlayingField::Instance();
    const double oneInside = 30.0 * std::exp(-0.5);
    struct Case {
        double x;
        double y;
        double height;
    };
    const Case cases[] = {
        {15.0, 0.0, 30.0},
        {-15.0, 0.0, 30.0},
        {0.0, 10.0, 30.0},
        {0.0, -10.0, 30.0},
        {15.0, 10.0, 60.0},
        {-15.0, -10.0, 60.0},
        {0.0, 0.0, 0.0},
        {14.0, 0.0, oneInside},
        {0.0, -9.0, oneInside},
        {16.0, 0.0, oneInside}, // outside: repelled as if as far inside
        {-16.0, 11.0, 2.0 * oneInside},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(field.Height(c.x, c.y), c.height, kTolerance) << c.x << ", " << c.y;
    }
}

TEST(PlayingFieldTest, ContainsItsEdgesAndNothingBeyond) {
    const checks::ScopedPlayingFieldSize size;
    const PlayingField& field = PlayingField::Instance();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        double x;
        double y;
        bool inside;
    };
    const Case cases[] = {
        {-15.0, 10.0, true},      {15.0, -10.0, true},     {0.0, 0.0, true},
        {-10.0, -15.0, false},    {15.000001, 0.0, false}, {0.0, -10.000001, false},
        {-15.000001, 0.0, false}, {0.0, 10.000001, false}, {nan, 0.0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(field.Contains(c.x, c.y), c.inside) << c.x << ", " << c.y;
    }
}

TEST(PlayingFieldTest, ClampHoldsEachCoordinateToItsBounds) {
    const checks::ScopedPlayingFieldSize size;
    const PlayingField& field = PlayingField::Instance();
    struct Case {
        double x;
        double y;
        double clampedX;
        double clampedY;
    };
    const Case cases[] = {
        {20.0, -20.0, 15.0, -10.0}, {-20.0, 20.0, -15.0, 10.0}, {3.0, -4.0, 3.0, -4.0},
        {15.0, 10.0, 15.0, 10.0},   {-100.0, 2.0, -15.0, 2.0},  {7.0, 10.5, 7.0, 10.0},
    };
    for (const Case& c : cases) {
        const Point clamped = field.Clamp(c.x, c.y);
        EXPECT_EQ(clamped.x, c.clampedX) << c.x << ", " << c.y;
        EXPECT_EQ(clamped.y, c.clampedY) << c.x << ", " << c.y;
    }
}

TEST(PlayingFieldTest, BoundsFollowTheSize) {
    const checks::ScopedPlayingFieldSize size(40.0, 24.0);
    const PlayingField& field = PlayingField::Instance();
    EXPECT_EQ(field.MinX(), -20.0);
    EXPECT_EQ(field.MaxX(), 20.0);
    EXPECT_EQ(field.MinY(), -12.0);
    EXPECT_EQ(field.MaxY(), 12.0);
    EXPECT_TRUE(field.Contains(20.0, -12.0));
    EXPECT_NEAR(field.Height(20.0, 0.0), 30.0, kTolerance);
}

TEST(PlayingFieldTest, CacheCoversTheFieldAsItIsWhenBuilt) {
    const GaussianFeature hill(0.0, 0.0, 10.0, 3.0);
    const checks::ScopedPlayingFieldSize size;
    const CachedFeature cache = CacheOverPlayingField(hill, 1.0);
    EXPECT_EQ(cache.Columns(), 31);
    EXPECT_EQ(cache.Rows(), 21);
    EXPECT_EQ(cache.Height(0.0, 0.0), hill.Height(0.0, 0.0));

    PlayingField::Instance().SetSize(40.0, 24.0);
    EXPECT_EQ(cache.Columns(), 31); // read once
    EXPECT_EQ(CacheOverPlayingField(hill, 1.0).Columns(), 41);
    EXPECT_EQ(CacheOverPlayingField(hill, 1.0).Rows(), 25);
}

} // namespace
} // namespace botpilot

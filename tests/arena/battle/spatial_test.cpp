#include "arena/battle/arena_math.h"
#include "arena/battle/spatial.h"

#include <cmath>
#include <gtest/gtest.h>

namespace botarena {
namespace {

TEST(SpatialTest, ConeIncludesItsEdgesAndNothingBeyond) {
    // A scanner at the origin looking along +y with range 10 and a 60-degree cone: its edges
    // lie 30 degrees either side of +y.
    const double heading = kPi / 2;
    const double edge = kPi / 2 + 30.0 * kRadiansPerDegree;
    const double outside = 1e-6;
    struct Row {
        const char* what;
        Vec2 target;
        bool seen;
    };
    const Row rows[] = {
        {"straight ahead", {0.0, 5.0}, true},
        {"at full range", {0.0, 10.0}, true},
        {"just past range", {0.0, 10.0 + 1e-9}, false},
        {"on the left edge", {5.0 * std::cos(edge), 5.0 * std::sin(edge)}, true},
        {"on the right edge", {-5.0 * std::cos(edge), 5.0 * std::sin(edge)}, true},
        {"just outside the left edge",
         {5.0 * std::cos(edge + outside), 5.0 * std::sin(edge + outside)},
         false},
        {"behind", {0.0, -1.0}, false},
        {"on the apex", {0.0, 0.0}, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(InsideCone({0.0, 0.0}, heading, 10.0, 60.0, row.target), row.seen) << row.what;
    }
}

TEST(SpatialTest, ConeAcrossTheHalfTurnLine) {
    // Looking along -x (heading pi) the cone spans the +-pi line.
    EXPECT_TRUE(InsideCone({0.0, 0.0}, kPi, 10.0, 60.0, {-5.0, 1.0}));
    EXPECT_TRUE(InsideCone({0.0, 0.0}, -kPi, 10.0, 60.0, {-5.0, -1.0}));
    // A whole-turn field of view sees everything within range.
    EXPECT_TRUE(InsideCone({0.0, 0.0}, 0.0, 10.0, 360.0, {-5.0, 0.0}));
}

TEST(SpatialTest, SegmentTouchesCircleAtItsFirstContact) {
    struct Row {
        const char* what;
        Vec2 from;
        Vec2 to;
        std::optional<double> touch;
    };
    const Row rows[] = {
        {"through the centre", {-2.0, 0.0}, {2.0, 0.0}, 0.4},
        {"tangent", {-2.0, 0.4}, {2.0, 0.4}, 0.5},
        {"passes beside", {-2.0, 0.41}, {2.0, 0.41}, std::nullopt},
        {"stops short", {-2.0, 0.0}, {-0.5, 0.0}, std::nullopt},
        {"circle behind the start", {1.0, 0.0}, {3.0, 0.0}, std::nullopt},
        {"starts inside", {0.1, 0.0}, {3.0, 0.0}, 0.0},
        {"no length, outside", {1.0, 1.0}, {1.0, 1.0}, std::nullopt},
    };
    for (const Row& row : rows) {
        const std::optional<double> touch = SegmentTouchesCircle(row.from, row.to, {0.0, 0.0}, 0.4);
        ASSERT_EQ(touch.has_value(), row.touch.has_value()) << row.what;
        if (touch) {
            EXPECT_NEAR(*touch, *row.touch, 1e-6) << row.what;
        }
    }
}

TEST(SpatialTest, KeepInsideHoldsEachCoordinateOnItsOwn) {
    const FieldSize field{30.0, 20.0};
    const Vec2 held = KeepInside(field, {20.0, -3.0}, 0.4);
    EXPECT_DOUBLE_EQ(held.x, 14.6);
    EXPECT_DOUBLE_EQ(held.y, -3.0);
    EXPECT_TRUE(field.Contains({-15.0, 10.0}));
    EXPECT_FALSE(field.Contains({-10.0, -15.0}));
}

} // namespace
} // namespace botarena

#include "geometry/linear_path.h"

#include <gtest/gtest.h>

namespace botpilot {
namespace {

constexpr double kTolerance = 0.0001;

TEST(LinearPathTest, MovesAtConstantVelocityForAnyParameter) {
    const LinearPath path(3, 5, -1, 1);
    struct Case {
        double t;
        double x;
        double y;
    };
    const Case cases[] = {{0, 3, 5}, {2, 1, 7}, {0.25, 2.75, 5.25}, {-3, 6, 2}};
    for (const Case& c : cases) {
        const Point point = path.PointAt(c.t);
        EXPECT_NEAR(point.x, c.x, kTolerance) << "t " << c.t;
        EXPECT_NEAR(point.y, c.y, kTolerance) << "t " << c.t;
    }
}

TEST(LinearPathTest, ZeroDirectionStaysAtTheStart) {
    const LinearPath path(3, 5, 0, 0);
    for (const double t : {-100.0, 0.0, 0.5, 1e6}) {
        EXPECT_EQ(path.PointAt(t).x, 3.0) << "t " << t;
        EXPECT_EQ(path.PointAt(t).y, 5.0) << "t " << t;
    }
}

TEST(LinearPathTest, CopiesAreIndependentValuesUsableThroughThePathInterface) {
    LinearPath original(1, 2, 3, 4);
    const LinearPath copy = original;
    original = LinearPath(0, 0, 0, 0);
    const Path& path = copy;
    EXPECT_NEAR(path.PointAt(1).x, 4.0, kTolerance);
    EXPECT_NEAR(path.PointAt(1).y, 6.0, kTolerance);
    EXPECT_EQ(original.PointAt(1).x, 0.0);
}

} // namespace
} // namespace botpilot

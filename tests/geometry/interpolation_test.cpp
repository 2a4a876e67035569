#include "geometry/interpolation.h"

#include <cmath>
#include <gtest/gtest.h>

namespace botpilot {
namespace {

constexpr double kTolerance = 0.0001;

TEST(InterpolationTest, BoundedLinearInterpolateHoldsTheEndValuesInEitherOrder) {
    struct Case {
        double x0, y0, x1, y1, x;
        double expected;
    };
    const Case cases[] = {
        {1, 2, 5, 10, 3, 6}, {1, 2, 5, 10, -10, 2},  {1, 2, 5, 10, 20, 10},
        {1, 10, 5, 2, 3, 6}, {1, 10, 5, 2, -10, 10}, {1, 10, 5, 2, 20, 2},
        {1, 2, 5, 10, 1, 2}, {1, 2, 5, 10, 5, 10},                         // exactly at the ends
        {5, 10, 1, 2, 3, 6}, {5, 10, 1, 2, 0, 2},    {5, 10, 1, 2, 9, 10}, // descending x
        {2, 7, 2, 9, 1, 9},  {2, 7, 2, 9, 3, 7}, // x0 = x1: held at either side
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(BoundedLinearInterpolate(c.x0, c.y0, c.x1, c.y1, c.x), c.expected, kTolerance)
            << "(" << c.x0 << ", " << c.y0 << ", " << c.x1 << ", " << c.y1 << ", " << c.x << ")";
    }
}

TEST(InterpolationTest, LinearInterpolateExtrapolatesBeyondTheEnds) {
    EXPECT_NEAR(LinearInterpolate(1, 2, 5, 10, 3), 6.0, kTolerance);
    EXPECT_NEAR(LinearInterpolate(1, 2, 5, 10, -10), -20.0, kTolerance);
    EXPECT_NEAR(LinearInterpolate(1, 2, 5, 10, 20), 40.0, kTolerance);
    EXPECT_NEAR(LinearInterpolate(1, 10, 5, 2, 7), -2.0, kTolerance);
}

TEST(InterpolationTest, DegenerateSpanAtItsOwnPointGivesTheFirstValue) {
    // 0/0 by the formula; a finite end value instead.
    EXPECT_EQ(LinearInterpolate(2, 7, 2, 9, 2), 7.0);
    EXPECT_EQ(BoundedLinearInterpolate(2, 7, 2, 9, 2), 7.0);
}

TEST(InterpolationTest, GaussianFallsOffEvenlyFromItsAmplitude) {
    EXPECT_EQ(Gaussian(0, 30, 1), 30.0);
    EXPECT_LT(Gaussian(10, 30, 1), kTolerance);
    EXPECT_EQ(Gaussian(-1.5, 30, 2), Gaussian(1.5, 30, 2));
    EXPECT_NEAR(Gaussian(2, 30, 2), 30.0 * std::exp(-0.5), 1e-12); // one sigma out
    EXPECT_EQ(Gaussian(0, -4, 3), -4.0);
}

TEST(InterpolationTest, SegmentGaussianIsARidgeWithDomesBeyondTheEnds) {
    // Segment from (0, 0) with weight 10 to (4, 0) with weight 2, sigma 1.
    const double sigma = 1.0;
    auto dome = [&](double weight, double distance) {
        return weight * std::exp(-(distance * distance) / (2 * sigma * sigma));
    };
    struct Case {
        const char* where;
        double px, py;
        double expected;
    };
    const Case cases[] = {
        {"first end", 0, 0, 10},
        {"second end", 4, 0, 2},
        {"middle of the crest", 2, 0, 6},
        {"beside a quarter of the way", 1, 1.5, dome(8, 1.5)},
        {"beyond the first end", -1, 1, dome(10, std::sqrt(2.0))},
        {"beyond the second end", 6, 0, dome(2, 2)},
        {"beside the first end", 0, -3, dome(10, 3)},
        {"beside the second end", 4, 0.5, dome(2, 0.5)},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(SegmentGaussian(c.px, c.py, 0, 0, 10, 4, 0, 2, sigma), c.expected, 1e-12)
            << c.where;
    }
}

TEST(InterpolationTest, SegmentGaussianOfZeroLengthUsesTheLargerWeight) {
    EXPECT_EQ(SegmentGaussian(1, 1, 1, 1, 3, 1, 1, 8, 1), 8.0);
    EXPECT_EQ(SegmentGaussian(1, 1, 1, 1, 8, 1, 1, 3, 1), 8.0);
    EXPECT_NEAR(SegmentGaussian(1, 3, 1, 1, 3, 1, 1, 8, 2), 8.0 * std::exp(-0.5), 1e-12);
    EXPECT_NEAR(SegmentGaussian(4, 5, 1, 1, -3, 1, 1, -8, 5), Gaussian(5, -3, 5), 1e-12);
}

// The ridge evaluated point by point, every term worked out at every point: the form the
// precomputed ridge must reproduce bit for bit, or the robot's choices could change.
double RidgeAtEveryPoint(double px, double py, double x0, double y0, double w0, double x1,
                         double y1, double w1, double sigma) {
    const double ex = x1 - x0;
    const double ey = y1 - y0;
    const double length = std::sqrt(ex * ex + ey * ey);
    double distance = 0.0;
    double weight = 0.0;
    if (length == 0.0) {
        distance = std::hypot(px - x0, py - y0);
        weight = w0 > w1 ? w0 : w1;
    } else {
        const double u = ((px - x0) * ex + (py - y0) * ey) / (length * length);
        if (u < 0.0) {
            distance = std::hypot(px - x0, py - y0);
            weight = w0;
        } else if (u > 1.0) {
            distance = std::hypot(px - x1, py - y1);
            weight = w1;
        } else {
            distance = std::hypot(px - (x0 + u * ex), py - (y0 + u * ey));
            weight = w0 + u * (w1 - w0);
        }
    }
    return weight * std::exp(-(distance * distance) / (2.0 * sigma * sigma));
}

TEST(SegmentRidgeTest, GivesBitForBitWhatThePerPointFormulaGives) {
    struct Segment {
        double x0, y0, w0, x1, y1, w1, sigma;
    };
    const Segment segments[] = {
        {0.3, -1.7, 50, 3.9, 1.4, 30, 2},         // a seen robot's ridge
        {-4.2, 2.2, 100, -4.2001, 2.2003, 70, 1}, // a slow shell's short track
        {1.0, 1.0, 100, 1.0, 1.0, 70, 1},         // a shell at rest: zero length
        {7.77, -3.1, -3, -9.13, 6.02, 8, 0.37},   // rising weight, odd width
    };
    for (const Segment& s : segments) {
        const SegmentRidge ridge(s.x0, s.y0, s.w0, s.x1, s.y1, s.w1, s.sigma);
        for (int i = 0; i < 500; ++i) {
            const double px = -15.0 + std::fmod(i * 0.731, 30.0);
            const double py = -10.0 + std::fmod(i * 0.417, 20.0);
            const double expected =
                RidgeAtEveryPoint(px, py, s.x0, s.y0, s.w0, s.x1, s.y1, s.w1, s.sigma);
            ASSERT_EQ(ridge.Height(px, py), expected) << "point " << i;
            ASSERT_EQ(SegmentGaussian(px, py, s.x0, s.y0, s.w0, s.x1, s.y1, s.w1, s.sigma),
                      expected)
                << "point " << i;
        }
    }
}

} // namespace
} // namespace botpilot

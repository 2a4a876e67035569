#include "arena/battle/arena_math.h"
#include "arena/battle/body_motion.h"
#include "robot/robot_path.h"

#include <gtest/gtest.h>

namespace botarena {
namespace {

/// The client predicts its motion along arcs; the arena must land where that prediction does
/// when it steps at its own rate.
constexpr double kStep = 0.01;      // [Units: s] the arena's physics step
constexpr double kTolerance = 0.05; // [Units: field units]

BodyState Drive(BodyState body, const EngineLimits& engine, const EngineOrder& order,
                double seconds, double step = kStep) {
    const int steps = static_cast<int>(seconds / step + 0.5);
    for (int i = 0; i < steps; ++i) {
        body = StepBody(body, engine, order, step);
    }
    return body;
}

struct PathRow {
    double heading;
    double speed;
    double orientation;
    double x1, y1; // after 1 s
    double x2, y2; // after 2 s
};

TEST(BodyMotionTest, QuarterTurnsLandWhereTheClientPredicts) {
    const double q = kPi / 2.0;
    // Maximum speed 5, turning rate 90 degrees per second: a full-speed quarter turn takes 1 s
    // along a circle of radius 20 / (2 pi).
    const PathRow rows[] = {
        // forwards, counter-clockwise
        {-q, 100.0, 0.0, 3.1831, -3.1831, 8.1831, -3.1831},
        {0.0, 100.0, q, 3.1831, 3.1831, 3.1831, 8.1831},
        {q, 100.0, kPi, -3.1831, 3.1831, -8.1831, 3.1831},
        {kPi, 100.0, -q, -3.1831, -3.1831, -3.1831, -8.1831},
        // forwards, clockwise
        {-q, 100.0, kPi, -3.1831, -3.1831, -8.1831, -3.1831},
        {0.0, 100.0, -q, 3.1831, -3.1831, 3.1831, -8.1831},
        {q, 100.0, 0.0, 3.1831, 3.1831, 8.1831, 3.1831},
        {kPi, 100.0, q, -3.1831, 3.1831, -3.1831, 8.1831},
        // backwards
        {-q, -100.0, 0.0, -3.1831, 3.1831, -8.1831, 3.1831},
        {0.0, -100.0, q, -3.1831, -3.1831, -3.1831, -8.1831},
        {q, -100.0, kPi, 3.1831, -3.1831, 8.1831, -3.1831},
        {kPi, -100.0, -q, 3.1831, 3.1831, 3.1831, 8.1831},
        {-q, -100.0, kPi, 3.1831, 3.1831, 8.1831, 3.1831},
        {0.0, -100.0, -q, -3.1831, 3.1831, -3.1831, 8.1831},
        {q, -100.0, 0.0, -3.1831, -3.1831, -8.1831, -3.1831},
        {kPi, -100.0, q, 3.1831, -3.1831, 3.1831, -8.1831},
    };
    const EngineLimits engine{5.0, 90.0};
    for (const PathRow& row : rows) {
        SCOPED_TRACE("heading " + std::to_string(row.heading) + ", speed " +
                     std::to_string(row.speed) + ", orientation " +
                     std::to_string(row.orientation));
        const EngineOrder order{row.speed, row.orientation};
        const BodyState after1 = Drive({0.0, 0.0, row.heading}, engine, order, 1.0);
        EXPECT_NEAR(after1.x, row.x1, kTolerance);
        EXPECT_NEAR(after1.y, row.y1, kTolerance);
        const BodyState after2 = Drive({0.0, 0.0, row.heading}, engine, order, 2.0);
        EXPECT_NEAR(after2.x, row.x2, kTolerance);
        EXPECT_NEAR(after2.y, row.y2, kTolerance);
        EXPECT_NEAR(after2.heading, NormaliseRadians(row.orientation), 1e-9);
    }
}

TEST(BodyMotionTest, AgreesWithTheClientsOwnPathPrediction) {
    // Every combination of these, for the default robot and for Zippy: the arena's body after
    // 1 s and 2 s of 100 Hz steps must be where the client's RobotPath puts it.
    const double angles[] = {-kPi / 2, 0.0, kPi / 2, kPi, 2.5, -2.0};
    const double speeds[] = {100.0, -100.0, 35.0, 0.0};
    const EngineLimits engines[] = {{5.0, 90.0}, {3.0, 75.0}, {12.0, 180.0}};
    for (const EngineLimits& engine : engines) {
        for (const double heading : angles) {
            for (const double orientation : angles) {
                for (const double speed : speeds) {
                    const botpilot::RobotPath path(1.0, -2.0, heading, engine.maxSpeed,
                                                   engine.maxTurnRate, {speed, orientation, false});
                    for (const double t : {1.0, 2.0}) {
                        const BodyState body =
                            Drive({1.0, -2.0, heading}, engine, {speed, orientation}, t);
                        const botpilot::Point predicted = path.PointAt(t);
                        EXPECT_NEAR(body.x, predicted.x, kTolerance)
                            << "heading " << heading << ", orientation " << orientation
                            << ", speed " << speed << ", t " << t;
                        EXPECT_NEAR(body.y, predicted.y, kTolerance)
                            << "heading " << heading << ", orientation " << orientation
                            << ", speed " << speed << ", t " << t;
                    }
                }
            }
        }
    }
}

TEST(BodyMotionTest, StraightRunsAndStepSizeDoNotChangeTheResult) {
    const EngineLimits engine{5.0, 90.0};
    struct Row {
        BodyState start;
        EngineOrder order;
        double x2, y2;
    };
    const Row rows[] = {
        {{0.0, 0.0, kPi / 4}, {100.0, kPi / 4}, 7.07107, 7.07107},
        {{3.0, 7.0, kPi}, {50.0, kPi}, -2.0, 7.0},
        {{3.0, 7.0, kPi}, {50.0, -kPi}, -2.0, 7.0},
        {{0.0, 0.0, kPi / 4}, {-100.0, kPi / 4}, -7.07107, -7.07107},
        // Engine speeds beyond 100 act as 100.
        {{0.0, 0.0, 0.0}, {250.0, 0.0}, 10.0, 0.0},
        {{0.0, 0.0, 0.0}, {-250.0, 0.0}, -10.0, 0.0},
    };
    for (const Row& row : rows) {
        for (const double step : {0.01, 0.5, 2.0}) {
            const BodyState end = Drive(row.start, engine, row.order, 2.0, step);
            EXPECT_NEAR(end.x, row.x2, 1e-4) << "step " << step;
            EXPECT_NEAR(end.y, row.y2, 1e-4) << "step " << step;
        }
    }
}

TEST(BodyMotionTest, TurnsTheShorterWayAndOnTheSpotAtZeroSpeed) {
    const EngineLimits engine{5.0, 90.0};
    // From pi to -pi/2 is a quarter turn counter-clockwise through the +-pi line.
    BodyState body = StepBody({1.0, 2.0, kPi}, engine, {0.0, -kPi / 2}, 0.5);
    EXPECT_NEAR(body.heading, -3.0 * kPi / 4, 1e-9);
    EXPECT_DOUBLE_EQ(body.x, 1.0);
    EXPECT_DOUBLE_EQ(body.y, 2.0);
    body = StepBody(body, engine, {0.0, -kPi / 2}, 0.5);
    EXPECT_NEAR(body.heading, -kPi / 2, 1e-9);
    // A half turn goes counter-clockwise.
    body = StepBody({0.0, 0.0, 0.0}, engine, {0.0, kPi}, 1.0);
    EXPECT_NEAR(body.heading, kPi / 2, 1e-9);
}

TEST(BodyMotionTest, HugeOrientationIsNormalisedWithoutLooping) {
    // Regression: a value such as 1e300 sent by a client must not spin a whole-turn loop.
    const BodyState body = StepBody({0.0, 0.0, 0.0}, {5.0, 90.0}, {0.0, 1e300}, 0.01);
    EXPECT_GT(body.heading, -kPi);
    EXPECT_LE(body.heading, kPi);
    EXPECT_DOUBLE_EQ(NormaliseRadians(-kPi), kPi);
    EXPECT_NEAR(NormaliseRadians(kPi + 1.0), 1.0 - kPi, 1e-12);
}

} // namespace
} // namespace botarena

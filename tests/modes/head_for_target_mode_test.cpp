#include "geometry/feature.h"
#include "modes/head_for_target_mode.h"
#include "tests/modes/mode_test_support.h"
#include "world/check_scopes.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace botpilot {
namespace {

using testing::ExpectCommands;
using testing::Observe;
using testing::PlaceBody;
using Message = ControllerMessage;

/// Heights in three bands beyond x = 1 (0 nearer): `ahead` along the x axis (|y| < 0.1),
/// `clockwise` below it and `counterClockwise` above it. From (0, 0) facing +x at full speed
/// with maxSpeed 12, the straight trial path runs in the middle band, and the side courses
/// (±0.2 rad) have left it by the time they pass x = 1.
class BandFeature final : public Feature {
  public:
    double Height(double x, double y) const override {
        if (x < 1.0) {
            return 0.0;
        }
        if (y <= -0.1) {
            return clockwise;
        }
        return y >= 0.1 ? counterClockwise : ahead;
    }

    double ahead = 0.0;
    double clockwise = 0.0;
    double counterClockwise = 0.0;
};

/// The mode on a body like the roster's second robot's, at the origin facing +x, at a fixed
/// time on the default field.
struct Rig : testing::ModeRig<HeadForTargetMode> {
    explicit Rig(double maxSpeed = 12.0, double maxTurnRate = 180.0) {
        robot.body.maxSpeed = maxSpeed;
        robot.body.maxTurnRate = maxTurnRate;
    }

    checks::ScopedClock clock{100.0};
    checks::ScopedPlayingFieldSize fieldSize;
};

TEST(HeadForTargetModeTest, WantsTheBodyOnlyWhileARobotIsSeen) {
    Rig rig;
    EXPECT_EQ(rig.mode.GetName(), "HeadForTarget");
    EXPECT_EQ(rig.mode.GetResources(), std::vector<Component>{&rig.robot.body});
    EXPECT_EQ(rig.mode.GetDesirability(), 0.0);
    rig.mode.Update();
    EXPECT_TRUE(rig.channel.requests.empty());

    Observe(rig.robot.scanner.robotField, 2, 5.0, 0.0);
    EXPECT_EQ(rig.mode.GetDesirability(), 0.3);
}

// The target faces +y from (d, 0.5), so its aim point (d, 0) is exactly d from the body, and
// the target itself lies at another bearing than its aim point.
TEST(HeadForTargetModeTest, SpeedFollowsTheDistanceToTheAimPoint) {
    struct Case {
        double maxSpeed;
        double maxTurnRate;
        double d;
        double speed;
        bool towardsAim; // else towards the target's own position
    };
    const std::vector<Case> cases = {
        // 0.25 × 3 = 0.75 lies nearer than 1: full speed close in, standstill farther out.
        {3.0, 75.0, 0.5, 100.0, true},  {3.0, 75.0, 0.9, 40.0, true},
        {3.0, 75.0, 2.0, 0.0, false},   {12.0, 180.0, 0.5, 0.0, false},
        {12.0, 180.0, 2.0, 50.0, true}, {12.0, 180.0, 5.0, 100.0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "maxSpeed " << c.maxSpeed << ", d " << c.d);
        Rig rig(c.maxSpeed, c.maxTurnRate);
        Observe(rig.robot.scanner.robotField, 1, c.d, 0.5, 1, kPi / 2);
        rig.mode.Update();
        rig.mode.Update(); // the same state again: nothing new to send
        const double heading = c.towardsAim ? 0.0 : std::atan2(0.5, c.d);
        ExpectCommands(rig.channel, {{Message::SetEngineOrientation, heading},
                                     {Message::SetEngineSpeed, c.speed}});
    }
}

TEST(HeadForTargetModeTest, ChoosesTheTargetMostNearlyAheadNotTheNearest) {
    struct Sighting {
        std::int32_t id;
        double bearing; // from the body; the robot faces away from the body along it
        double distance;
    };
    struct Case {
        const char* what;
        double bodyHeading;
        std::vector<Sighting> robots;
        double orientation;
        double speed;
    };
    const std::vector<Case> cases = {
        {"ahead over a nearer one behind", 0.0, {{1, kPi, 2.0}, {2, 0.0, 5.0}}, 0.0, 100.0},
        {"ahead across the ±π line", 3.0, {{1, 2.0, 4.0}, {2, -3.0, 6.0}}, -3.0, 100.0},
        {"body heading beyond 2π", 2 * kPi + 1.0, {{1, 0.0, 2.5}, {2, 1.2, 2.5}}, 1.2, 50.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        PlaceBody(rig.robot.body, 0.0, 0.0, c.bodyHeading);
        for (const Sighting& seen : c.robots) {
            Observe(rig.robot.scanner.robotField, seen.id, seen.distance * std::cos(seen.bearing),
                    seen.distance * std::sin(seen.bearing), 1, seen.bearing);
        }
        rig.mode.Update();
        ExpectCommands(rig.channel, {{Message::SetEngineOrientation, c.orientation},
                                     {Message::SetEngineSpeed, c.speed}});
    }
}

TEST(HeadForTargetModeTest, SteersAsideOnlyWhenTheStraightCourseClimbsAbove25) {
    struct Case {
        const char* what;
        double ahead;
        double clockwise;
        double counterClockwise;
        double orientation;
    };
    const std::vector<Case> cases = {
        {"flat", 0.0, 0.0, 0.0, 0.0},
        // Were a side course tried, the flat clockwise one would be taken.
        {"exactly 25 ahead is no reason to turn", 25.0, 0.0, 0.0, 0.0},
        {"clockwise at exactly 25 is good enough", 25.01, 25.0, 0.0, -0.2},
        {"clockwise tried first", 30.0, 10.0, 10.0, -0.2},
        {"counter-clockwise when clockwise is too high", 30.0, 30.0, 25.0, 0.2},
        {"straight on when both sides are too high", 30.0, 100.0, 100.0, 0.0},
        {"straight on even when lower than both sides", 30.0, 25.01, 25.01, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        BandFeature bands;
        bands.ahead = c.ahead;
        bands.clockwise = c.clockwise;
        bands.counterClockwise = c.counterClockwise;
        rig.robot.terrain.AddSource(bands);
        Observe(rig.robot.scanner.robotField, 1, 5.0, 0.0); // aim point (4.5, 0): full speed
        rig.mode.Update();
        ExpectCommands(rig.channel, {{Message::SetEngineOrientation, c.orientation},
                                     {Message::SetEngineSpeed, 100.0}});
    }
}

// The heights are memoised for one update only: a danger that rises between two updates is
// seen by the second.
TEST(HeadForTargetModeTest, ReadsTheTerrainAfreshOnEveryUpdate) {
    Rig rig;
    BandFeature bands;
    bands.ahead = 10.0;
    bands.clockwise = 10.0;
    bands.counterClockwise = 10.0;
    rig.robot.terrain.AddSource(bands);
    Observe(rig.robot.scanner.robotField, 1, 5.0, 0.0);
    rig.mode.Update();
    bands.ahead = 30.0;
    rig.mode.Update();
    ExpectCommands(rig.channel, {{Message::SetEngineOrientation, 0.0},
                                 {Message::SetEngineSpeed, 100.0},
                                 {Message::SetEngineOrientation, -0.2}});
}

} // namespace
} // namespace botpilot

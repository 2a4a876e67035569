#include "modes/evade_mode.h"
#include "modes/rove_mode.h"
#include "robot/robot.h"
#include "tests/modes/rover_test_support.h"
#include "tests/support/recording_channel.h"
#include "world/check_scopes.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace botpilot {
namespace {

using checks::ScopedPlayingFieldSize;
using testing::EngineRequests;
using testing::ExpectPairs;
using testing::kSetEngineOrientation;
using testing::kSetEngineSpeed;
using testing::PlaceBody;
using testing::SlopeFeature;

void ExpectGoal(const RoveMode& rove, double x, const std::string& what) {
    EXPECT_EQ(rove.Goal().x, x) << what;
    EXPECT_EQ(rove.Goal().y, 0.0) << what;
}

TEST(RoveModeTest, RegistersTheBodyAndScoresAsTheFallback) {
    testing::InstallRecordingController();
    Robot robot;
    RoveMode rove;
    rove.Attach(robot);
    EXPECT_EQ(rove.GetName(), "Rove");
    EXPECT_EQ(rove.GetResources(), std::vector<Component>{&robot.body});
    EXPECT_EQ(rove.GetDesirability(), 0.1);
    EXPECT_EQ(rove.GetExtraFeature(), static_cast<const Feature*>(&rove));
}

TEST(RoveModeTest, PlacesItsGoalsFromTheFieldSizeAtConstruction) {
    ScopedPlayingFieldSize field(40.0, 24.0);
    RoveMode rove;
    ExpectGoal(rove, -19.0, "left goal first");
    PlayingField::Instance().SetSize(30.0, 20.0); // too late: the goals stay
    ExpectGoal(rove, -19.0, "after a resize");
}

TEST(RoveModeTest, GoalIsADeepWellOnAShallowSlope) {
    ScopedPlayingFieldSize field;
    const RoveMode rove; // goal (-14, 0)
    struct Case {
        double distance;
        double expected;
    };
    const Case cases[] = {{0.0, -34.0},  {1.0, -32.38}, {3.0, -22.03}, {10.0, -3.38},
                          {28.0, -1.80}, {50.0, 0.0},   {60.0, 0.0}};
    for (const Case& c : cases) {
        EXPECT_NEAR(rove.Height(-14.0, c.distance), c.expected, 0.005) << c.distance;
    }
}

TEST(RoveModeTest, SwitchesGoalsOnlyStrictlyInsideTheEndBands) {
    struct Step {
        double x;
        double goalAfter;
    };
    struct Case {
        double xSize;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        // Default field: bands below -12 and above 12, goals at -14 and 14.
        {30.0,
         {{-12.0, -14.0},
          {-12.01, 14.0},
          {0.0, 14.0},
          {12.0, 14.0},
          {12.01, -14.0},
          {-12.0, -14.0}}},
        // A field so narrow that the bands overlap: the right end's test comes second and wins.
        {4.0, {{0.0, -1.0}, {-1.5, 1.0}, {1.5, -1.0}}},
    };
    for (const Case& c : cases) {
        ScopedPlayingFieldSize field(c.xSize, 20.0);
        testing::InstallRecordingController();
        Robot robot;
        RoveMode rove;
        rove.Attach(robot);
        for (const Step& step : c.steps) {
            PlaceBody(robot.body, step.x, 0.0);
            rove.Update();
            ExpectGoal(rove, step.goalAfter, "x = " + std::to_string(step.x));
        }
    }
}

TEST(RoveModeTest, ItsWellSteersOnlyDuringItsOwnUpdate) {
    ScopedPlayingFieldSize field;
    testing::RecordingChannel& channel = testing::InstallRecordingController();
    Robot robot;
    // 71 everywhere: just dangerous enough for Evade, unless the well (-2.94 here) were left in.
    const SlopeFeature ground(71.0);
    robot.terrain.AddSource(ground);
    RoveMode rove;
    EvadeMode evade;
    rove.Attach(robot);
    evade.Attach(robot);
    PlaceBody(robot.body, 0.0, 0.0, 0.0);
    rove.Update();
    // Level ground alone would keep the first candidate, straight on; the well behind the robot
    // makes backing out end lowest, and at 68 under the robot it really reverses.
    ExpectPairs(EngineRequests(channel), {{kSetEngineOrientation, 0.0}, {kSetEngineSpeed, -100.0}},
                "rove from the middle");
    EXPECT_EQ(evade.GetDesirability(), 0.9);
    EXPECT_EQ(robot.terrain.Height(-14.0, 0.0), 71.0);
}

// Regression: the well stayed in the terrain when an engine request failed during the update,
// and from then on lowered the danger Evade saw.
TEST(RoveModeTest, WellLeavesTheTerrainEvenWhenTheEngineRequestFails) {
    ScopedPlayingFieldSize field;
    for (const double failing : {kSetEngineSpeed, kSetEngineOrientation}) {
        testing::RecordingChannel& channel = testing::InstallRecordingController();
        channel.FailNext(static_cast<std::int32_t>(failing), "Engine jammed");
        Robot robot;
        const SlopeFeature ground(71.0);
        robot.terrain.AddSource(ground);
        RoveMode rove;
        EvadeMode evade;
        rove.Attach(robot);
        evade.Attach(robot);
        // The orientation is sent first: its failure ends the update at once, the speed's only
        // after the orientation went through.
        PlaceBody(robot.body, 0.0, 0.0, 0.0);
        EXPECT_THROW(rove.Update(), std::runtime_error) << failing;
        EXPECT_EQ(evade.GetDesirability(), 0.9) << failing;
        EXPECT_EQ(robot.terrain.Height(-14.0, 0.0), 71.0) << failing;
    }
}

} // namespace
} // namespace botpilot

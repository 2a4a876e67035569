#include "diagnostics/timer.h"
#include "geometry/angle.h"
#include "modes/terrain_rover.h"
#include "robot/robot.h"
#include "tests/modes/rover_test_support.h"
#include "tests/support/recording_channel.h"
#include "world/check_scopes.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace botpilot {
namespace {

using checks::ScopedPlayingFieldSize;
using testing::EngineRequests;
using testing::ExpectPairs;
using testing::kSetEngineOrientation;
using testing::kSetEngineSpeed;
using testing::Pairs;
using testing::PlaceBody;
using testing::SlopeFeature;

TEST(TerrainRoverTest, GeneratesTheFanOf72InItsFixedOrder) {
    struct Case {
        double heading;
        Pairs firstFour; // (speed, orientation)
        Pairs lastFour;
    };
    const double h = 2 * kPi + 0.5; // not normalised: straight commands keep it as read
    const Case cases[] = {
        {0.0,
         {{100, 0.0}, {100, 0.1}, {100, -0.1}, {100, 0.3}},
         {{-100, 0.0}, {-100, kPi / 2}, {-100, -kPi / 2}, {0, 0.0}}},
        {h,
         {{100, h}, {100, 0.6}, {100, 0.4}, {100, 0.8}},
         {{-100, h}, {-100, 0.5 + kPi / 2}, {-100, 0.5 - kPi / 2}, {0, h}}},
        {-kPi, // normalises to +pi: the turns are offsets from +pi
         {{100, -kPi}, {100, kPi + 0.1}, {100, kPi - 0.1}, {100, kPi + 0.3}},
         {{-100, -kPi}, {-100, 1.5 * kPi}, {-100, kPi / 2}, {0, -kPi}}},
    };
    for (const Case& c : cases) {
        Robot robot;
        PlaceBody(robot.body, 0.0, 0.0, c.heading);
        const std::vector<EngineCommand> commands =
            TerrainRover(robot.body, robot.terrain).GenerateCommands();
        ASSERT_EQ(commands.size(), 72u);
        Pairs first, last;
        for (std::size_t i = 0; i < 4; ++i) {
            first.emplace_back(commands[i].engineSpeed, commands[i].orientation.Radians());
            const EngineCommand& tail = commands[68 + i];
            last.emplace_back(tail.engineSpeed, tail.orientation.Radians());
        }
        ExpectPairs(first, c.firstFour, "first four at " + std::to_string(c.heading));
        ExpectPairs(last, c.lastFour, "last four at " + std::to_string(c.heading));
        // 17 commands per forward speed, the widest turn 1.5 either side; no command flagged.
        for (std::size_t i = 0; i < 68; ++i) {
            EXPECT_EQ(commands[i].engineSpeed, 100.0 / (1 << (i / 17))) << i;
        }
        EXPECT_NEAR(commands[66].orientation.Radians() - commands[67].orientation.Radians(), 3.0,
                    1e-9);
        for (const EngineCommand& command : commands) {
            EXPECT_FALSE(command.flag);
        }
    }
}

TEST(TerrainRoverTest, StopsWithoutTurningWhenNoPathQualifies) {
    ScopedPlayingFieldSize field;
    testing::RecordingChannel& channel = testing::InstallRecordingController();
    Robot robot;
    // Every path stays at 100 (above the last limit, 95) and, with no speed, moves nowhere.
    const SlopeFeature high(100.0);
    robot.terrain.AddSource(high);
    robot.body.maxSpeed = 0.0;
    PlaceBody(robot.body, 0.0, 0.0, 0.7);
    TerrainRover(robot.body, robot.terrain).Update();
    ExpectPairs(EngineRequests(channel), {{kSetEngineSpeed, 0.0}}, "stop");
}

TEST(TerrainRoverTest, ReversesOnlyFromHighGroundOtherwiseStopsAndTurnsAbout) {
    ScopedPlayingFieldSize field;
    struct Case {
        double heightUnderRobot;
        Pairs expected;
    };
    // The ground rises steeply ahead, so backing straight out ({-100, 0}) ends lowest.
    const Case cases[] = {
        {10.0, {{kSetEngineSpeed, 0.0}, {kSetEngineOrientation, kPi}}},
        {49.99, {{kSetEngineSpeed, 0.0}, {kSetEngineOrientation, kPi}}},
        {50.0, {{kSetEngineOrientation, 0.0}, {kSetEngineSpeed, -100.0}}},
        {60.0, {{kSetEngineOrientation, 0.0}, {kSetEngineSpeed, -100.0}}},
    };
    for (const Case& c : cases) {
        testing::RecordingChannel& channel = testing::InstallRecordingController();
        Robot robot;
        const SlopeFeature rising(c.heightUnderRobot, 10.0);
        robot.terrain.AddSource(rising);
        PlaceBody(robot.body, 0.0, 0.0, 0.0);
        TerrainRover(robot.body, robot.terrain).Update();
        ExpectPairs(EngineRequests(channel), c.expected,
                    "height " + std::to_string(c.heightUnderRobot));
    }
}

TEST(TerrainRoverTest, SendsOnlyTheEngineSettingsThatChanged) {
    ScopedPlayingFieldSize field;
    testing::RecordingChannel& channel = testing::InstallRecordingController();
    Robot robot;
    TerrainRover rover(robot.body, robot.terrain);
    // On flat ground every path ends at 0 and the first candidate, straight on at 100, wins.
    struct Step {
        double heading;
        Pairs expected;
    };
    const Step steps[] = {
        {0.0, {{kSetEngineOrientation, 0.0}, {kSetEngineSpeed, 100.0}}},
        {0.0, {}},
        {0.00005, {}}, // within the 0.0001 the caches ignore
        {0.5, {{kSetEngineOrientation, 0.5}}},
    };
    for (const Step& step : steps) {
        channel.requests.clear();
        PlaceBody(robot.body, 0.0, 0.0, step.heading);
        rover.Update();
        ExpectPairs(EngineRequests(channel), step.expected,
                    "heading " + std::to_string(step.heading));
    }
}

TEST(TerrainRoverTest, TimesTheUpdateWithTheEngineSettingNestedInIt) {
    ScopedPlayingFieldSize field;
    testing::InstallRecordingController();
    Robot robot;
    std::ostringstream report;
    EnableTimerForTesting(report, [] { return 0.0; });
    TerrainRover(robot.body, robot.terrain).Update();
    DisableTimerForTesting();
    const std::string text = report.str();
    EXPECT_EQ(text.rfind("TerrainRover::Update0 \n", 0), 0u) << text;
    EXPECT_NE(text.find("\n  TerrainRover::Update - setting engine0 \n"), std::string::npos);
    EXPECT_NE(text.find("\n  PathChooser::Choose0 \n"), std::string::npos);
}

} // namespace
} // namespace botpilot

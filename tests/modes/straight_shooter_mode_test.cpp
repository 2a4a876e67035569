#include "modes/straight_shooter_mode.h"
#include "robot/robot.h"
#include "tests/modes/mode_test_support.h"
#include "world/check_scopes.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace botpilot {
namespace {

using testing::ExpectCommands;
using testing::FakeWorld;
using testing::ModeRig;
using testing::Observe;
using testing::PlaceBody;
using testing::Track;
using Message = ControllerMessage;

TEST(StraightShooterModeTest, ScoresARobotCloseAheadOfTheGunInAQuarterSecond) {
    struct Sighting {
        std::int32_t id;
        Point at;       // now
        Point velocity; // per second
    };
    struct Case {
        const char* what;
        double charge;
        double bodyHeading;
        double gunRelativeHeading;
        std::vector<Sighting> robots;
        double score;
        double aim; // sent on update when scored
    };
    const double faced = std::atan2(0.3, 5.0); // 0.0599 rad, under 5 degrees
    const std::vector<Case> cases = {
        {"charge exactly 50", 50.0, 0.0, 0.0, {{1, {5.0, 0.3}, {}}}, 0.7, faced},
        {"charge 49.9", 49.9, 0.0, 0.0, {{1, {5.0, 0.3}, {}}}, 0.0, 0.0},
        {"0.197 rad off the gun", 100.0, 0.0, 0.0, {{1, {5.0, 1.0}, {}}}, 0.0, 0.0},
        {"exactly 10 away", 100.0, 0.0, 0.0, {{1, {10.0, 0.0}, {}}}, 0.0, 0.0},
        {"just under 10 away", 100.0, 0.0, 0.0, {{1, {9.999, 0.0}, {}}}, 0.7, 0.0},
        {"moving into view", 100.0, 0.0, 0.0, {{1, {5.0, 1.0}, {0.0, -2.8}}}, 0.7, faced},
        {"moving out of view", 100.0, 0.0, 0.0, {{1, {5.0, 0.3}, {0.0, 2.8}}}, 0.0, 0.0},
        {"moving out of range", 100.0, 0.0, 0.0, {{1, {9.0, 0.0}, {4.0, 0.0}}}, 0.0, 0.0},
        {"first in id order, not the nearest",
         100.0,
         0.0,
         0.0,
         {{4, {3.0, 0.0}, {}}, {2, {8.0, 0.2}, {}}},
         0.7,
         std::atan2(0.2, 8.0)},
        {"the gun's heading, not the body's",
         100.0,
         1.0,
         -0.5,
         {{1, {4.0 * std::cos(1.0), 4.0 * std::sin(1.0)}, {}},
          {2, {4.0 * std::cos(0.5), 4.0 * std::sin(0.5)}, {}}},
         0.7,
         0.5},
        // Relies on the facing test measuring the shorter arc between heading and bearing.
        {"across the ±π line",
         100.0,
         kPi,
         0.0,
         {{1, {5.0 * std::cos(-kPi + 0.05), 5.0 * std::sin(-kPi + 0.05)}, {}}},
         0.7,
         -kPi + 0.05},
        {"nothing seen", 100.0, 0.0, 0.0, {}, 0.0, 0.0},
    };
    checks::ScopedClock clock(100.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModeRig<StraightShooterMode> rig;
        PlaceBody(rig.robot.body, 0.0, 0.0, c.bodyHeading);
        rig.robot.gun.SetRelativeHeading(c.gunRelativeHeading);
        rig.robot.gun.charge = c.charge;
        for (const Sighting& seen : c.robots) {
            Track(rig.robot.scanner.robotField, seen.id, seen.at, seen.velocity);
        }

        EXPECT_EQ(rig.mode.GetDesirability(), c.score);
        if (c.score > 0.0) {
            rig.mode.Update();
            ExpectCommands(rig.channel, {{Message::SetEngineOrientation, c.aim},
                                         {Message::SetEngineSpeed, 100.0},
                                         {Message::FireGun, {}}});
        }
    }
}

TEST(StraightShooterModeTest, CommandsGunAndBodyAndKeepsTheLastAimWhenNoRobotQualifies) {
    checks::ScopedClock clock(100.0);
    ModeRig<StraightShooterMode> rig;
    EXPECT_EQ(rig.mode.GetName(), "StraightShooter");
    EXPECT_EQ(rig.mode.GetResources(), (std::vector<Component>{&rig.robot.gun, &rig.robot.body}));
    Observe(rig.robot.scanner.robotField, 1, 5.0, 0.3);
    EXPECT_EQ(rig.mode.GetDesirability(), 0.7);
    Observe(rig.robot.scanner.robotField, 1, 5.0, 3.0); // now well off to the side
    EXPECT_EQ(rig.mode.GetDesirability(), 0.0);
    rig.mode.Update();
    ExpectCommands(rig.channel, {{Message::SetEngineOrientation, std::atan2(0.3, 5.0)},
                                 {Message::SetEngineSpeed, 100.0},
                                 {Message::FireGun, {}}});
}

// A shot empties the charge at once, so the mode yields the body and the gun until a gun
// reading reports 50 or more again; the engine commands are not repeated when it comes back.
TEST(StraightShooterModeTest, FiresEveryUpdateWhileChargedAndWaitsForTheNextGunReading) {
    checks::ScopedClock clock(0.0);
    testing::RecordingChannel& channel = testing::InstallRecordingController([](int cycle) {
        FakeWorld world;
        world.robots = {{3, 5.0, 0.3, kPi, "Zippy", "Nolix"}};
        // The gun is read in cycles 1 and 3: the scanner and the gun alternate.
        world.gunCharge = cycle < 3 ? 0.0 : 60.0;
        return world;
    });
    Robot robot;
    robot.AddMode(std::make_unique<StraightShooterMode>());
    robot.Configure();
    channel.requests.clear();

    std::vector<std::size_t> active; // how many modes were current in each cycle
    ::testing::internal::CaptureStderr();
    for (int cycle = 0; cycle < 4; ++cycle) {
        robot.Update();
        active.push_back(robot.CurrentModes().size());
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Active modes: StraightShooter \nActive modes: \nActive modes: StraightShooter \n");
    EXPECT_EQ(active, (std::vector<std::size_t>{1, 0, 0, 1}));
    ExpectCommands(channel, {{Message::SetEngineOrientation, std::atan2(0.3, 5.0)},
                             {Message::SetEngineSpeed, 100.0},
                             {Message::FireGun, {}},
                             {Message::FireGun, {}}});
}

} // namespace
} // namespace botpilot

#include "diagnostics/timer.h"
#include "modes/watch_robots_mode.h"
#include "tests/modes/mode_test_support.h"
#include "world/check_scopes.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <sstream>
#include <vector>

namespace botpilot {
namespace {

using testing::ExpectCommands;
using testing::ModeRig;
using testing::Observe;
using testing::PlaceBody;
using testing::Track;
using Message = ControllerMessage;

TEST(WatchRobotsModeTest, WantsTheScannerOnlyWhileARobotIsSeen) {
    checks::ScopedClock clock(100.0);
    ModeRig<WatchRobotsMode> rig;
    EXPECT_EQ(rig.mode.GetName(), "WatchRobots");
    EXPECT_EQ(rig.mode.GetResources(), std::vector<Component>{&rig.robot.scanner});
    EXPECT_EQ(rig.mode.GetDesirability(), 0.0);
    EXPECT_EQ(rig.mode.GetDesiredOrientation().Radians(), 0.0);

    Observe(rig.robot.scanner.robotField, 9, -5.0, 5.0);
    EXPECT_EQ(rig.mode.GetDesirability(), 0.5);
}

TEST(WatchRobotsModeTest, AimsAtTheNearestRobotRelativeToTheBody) {
    struct Sighting {
        std::int32_t id;
        double x;
        double y;
    };
    struct Case {
        const char* what;
        double bodyX;
        double bodyY;
        double bodyHeading;
        std::vector<Sighting> robots; // seen in this order
        double desired;               // as returned, not normalised
        double sent;                  // as the scanner sends it
    };
    const std::vector<Case> cases = {
        {"nearest of two", 0.0, 0.0, 0.0, {{1, 3.0, 4.0}, {2, 0.0, -2.0}}, -kPi / 2, -kPi / 2},
        {"across the ±π line",
         0.0,
         0.0,
         3.0,
         {{1, 5.0 * std::cos(3.0), 5.0 * std::sin(3.0)},
          {2, 2.0 * std::cos(-3.0), 2.0 * std::sin(-3.0)}},
         -6.0,
         -6.0 + 2 * kPi},
        {"equally near: smaller id", 0.0, 0.0, 0.0, {{5, 0.0, 3.0}, {2, 3.0, 0.0}}, 0.0, 0.0},
        {"body heading beyond 2π", 1.0, 1.0, 2 * kPi + kPi / 2, {{3, 1.0, 4.0}}, 0.0, 0.0},
        {"body off the origin",
         -4.0,
         2.0,
         kPi,
         {{7, -4.0, -1.0}, {8, 6.0, 2.0}},
         -kPi / 2 - kPi,
         kPi / 2},
    };
    checks::ScopedClock clock(100.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModeRig<WatchRobotsMode> rig;
        PlaceBody(rig.robot.body, c.bodyX, c.bodyY, c.bodyHeading);
        for (const Sighting& seen : c.robots) {
            Observe(rig.robot.scanner.robotField, seen.id, seen.x, seen.y);
        }
        EXPECT_NEAR(rig.mode.GetDesiredOrientation().Radians(), c.desired, 1e-9);
        rig.mode.Update();
        rig.mode.Update(); // unchanged: not sent again
        ExpectCommands(rig.channel, {{Message::SetScannerOrientation, c.sent}});
    }
}

TEST(WatchRobotsModeTest, MeasuresDistancesToWhereTheRobotsAreNow) {
    checks::ScopedClock clock(100.0);
    ModeRig<WatchRobotsMode> rig;
    // Robot 1 is at (8, 0), moving 2 units per second towards the body; robot 2 rests at (0, 7).
    Track(rig.robot.scanner.robotField, 1, {8.0, 0.0}, {-2.0, 0.0});
    Observe(rig.robot.scanner.robotField, 2, 0.0, 7.0);
    EXPECT_NEAR(rig.mode.GetDesiredOrientation().Radians(), kPi / 2, 1e-12);

    // A second later, unseen since, robot 1 is predicted at (6, 0): now the nearer one.
    Clock::Advance(1.0);
    EXPECT_NEAR(rig.mode.GetDesiredOrientation().Radians(), 0.0, 1e-12);
}

TEST(WatchRobotsModeTest, TimesItsChoiceOfRobot) {
    checks::ScopedClock clock(100.0);
    ModeRig<WatchRobotsMode> rig;
    Observe(rig.robot.scanner.robotField, 1, 3.0, 4.0);
    std::ostringstream report;
    EnableTimerForTesting(report);
    rig.mode.GetDesiredOrientation();
    DisableTimerForTesting();
    EXPECT_EQ(report.str().rfind("WatchRobotsMode::GetDesiredOrientation", 0), 0u) << report.str();
}

} // namespace
} // namespace botpilot

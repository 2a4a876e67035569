#include "modes/look_forward_mode.h"
#include "modes/watch_robots_mode.h"
#include "robot/robot.h"
#include "tests/modes/mode_test_support.h"
#include "world/check_scopes.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace botpilot {
namespace {

using testing::ExpectCommands;
using testing::ModeRig;
using testing::Observe;
using Message = ControllerMessage;

TEST(LookForwardModeTest, SendsStraightAheadOnceAfterAnotherModeTurnedTheScanner) {
    ModeRig<LookForwardMode> rig;
    EXPECT_EQ(rig.mode.GetName(), "LookForward");
    EXPECT_EQ(rig.mode.GetResources(), std::vector<Component>{&rig.robot.scanner});
    EXPECT_EQ(rig.mode.GetDesirability(), 0.1);

    rig.robot.scanner.SetOrientation(1.0); // as another scanner mode would
    for (int update = 0; update < 3; ++update) {
        rig.mode.Update();
    }
    ExpectCommands(rig.channel,
                   {{Message::SetScannerOrientation, 1.0}, {Message::SetScannerOrientation, 0.0}});
}

// The fallback takes the scanner whenever the robot sees nothing and yields it as soon as it
// does: the scanner is never left without a current mode.
TEST(LookForwardModeTest, HoldsTheScannerOnlyWhileNoOtherScannerModeWantsIt) {
    checks::ScopedClock clock(100.0);
    testing::InstallRecordingController();
    Robot robot;
    robot.AddMode(std::make_unique<WatchRobotsMode>());
    robot.AddMode(std::make_unique<LookForwardMode>());
    robot.Configure();

    ::testing::internal::CaptureStderr();
    robot.SetCurrentModes();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Active modes: LookForward \n");

    Observe(robot.scanner.robotField, 4, 3.0, 4.0);
    ::testing::internal::CaptureStderr();
    robot.SetCurrentModes();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Active modes: WatchRobots \n");
}

} // namespace
} // namespace botpilot

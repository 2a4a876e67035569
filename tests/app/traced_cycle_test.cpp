#include "tests/support/child_process.h"
#include "tests/support/fake_robot_server.h"
#include "wire/controller_message.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace botpilot {
namespace {

using testing::ChildResult;
using testing::FakeRobotServer;
using testing::FakeWorld;
using testing::RecordedRequest;

/// Requests that cover start-up and a few cycles of the driven robot.
constexpr std::size_t kSomeCycles = 12 + 5 * 6;

/// Runs the client against a server that shows the same world every cycle, until it has seen a
/// few cycles; returns what the client printed.
ChildResult RunInWorld(FakeRobotServer& server, const std::vector<std::string>& options = {},
                       const std::string& keys = "", std::size_t requests = kSomeCycles) {
    std::vector<std::string> arguments = {BOTPILOT_PATH, "/s", "127.0.0.1", "/p",
                                          std::to_string(server.Port())};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return testing::RunChild(arguments, keys, 60.0, [&](int processId) {
        server.WaitForRequests(requests);
        testing::AskChildToStop(processId);
    });
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n') + 1);
}

std::vector<RecordedRequest> OfType(const FakeRobotServer& server, ControllerMessage type) {
    std::vector<RecordedRequest> found;
    for (const RecordedRequest& request : server.Requests()) {
        if (!request.drawing && request.type == static_cast<std::int32_t>(type)) {
            found.push_back(request);
        }
    }
    return found;
}

FakeWorld MidField() {
    FakeWorld world;
    world.x = 1.0;
    world.y = 1.0;
    return world;
}

TEST(TracedCycleTest, NothingSeenRovesAndLooksAhead) {
    FakeRobotServer server([](int) { return MidField(); });
    const ChildResult result = RunInWorld(server);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(FirstLine(result.err), "Active modes: Rove LookForward \n");
    // The scanner is told to look straight ahead once; the engine gets its first command.
    EXPECT_EQ(OfType(server, ControllerMessage::SetScannerOrientation).size(), 1u);
    EXPECT_FALSE(OfType(server, ControllerMessage::SetEngineSpeed).empty());
}

TEST(TracedCycleTest, RobotSeenAheadIsWatchedAndApproached) {
    FakeRobotServer server([](int) {
        FakeWorld world = MidField();
        world.robots = {{5, 13.0, 1.0, 3.141592653589793, "Simple", "Nolix"}};
        return world;
    });
    const ChildResult result = RunInWorld(server);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(FirstLine(result.err), "Active modes: WatchRobots HeadForTarget \n");
    const auto aims = OfType(server, ControllerMessage::SetScannerOrientation);
    ASSERT_FALSE(aims.empty());
    EXPECT_NEAR(std::get<double>(aims.front().values.at(0)), 0.0, 1e-9); // dead ahead
    const auto orientations = OfType(server, ControllerMessage::SetEngineOrientation);
    ASSERT_FALSE(orientations.empty());
    EXPECT_NEAR(std::get<double>(orientations.front().values.at(0)), 0.0, 1e-9);
    EXPECT_FALSE(OfType(server, ControllerMessage::SetEngineSpeed).empty());
    EXPECT_TRUE(OfType(server, ControllerMessage::FireGun).empty());
}

TEST(TracedCycleTest, ChargedGunWithARobotCloseAheadShoots) {
    FakeRobotServer server([](int) {
        FakeWorld world = MidField();
        world.robots = {{5, 6.0, 1.0, 0.0, "Simple", "Nolix"}};
        return world;
    });
    const ChildResult result = RunInWorld(server);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(FirstLine(result.err), "Active modes: StraightShooter WatchRobots \n");
    EXPECT_FALSE(OfType(server, ControllerMessage::FireGun).empty());
}

TEST(TracedCycleTest, ShellTrackUnderTheRobotIsEvaded) {
    FakeRobotServer server([](int) {
        FakeWorld world = MidField();
        world.objects = {{40, 1.0, 1.0}};
        return world;
    });
    const ChildResult result = RunInWorld(server);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    // The shell, seen once so far, also draws the scanner for a second look.
    EXPECT_EQ(FirstLine(result.err), "Active modes: Evade SecondSighting \n");
}

TEST(TracedCycleTest, DrawingSendsTheDangerMapOnTheNextPort) {
    struct Case {
        std::vector<std::string> options;
        std::string keys;
    };
    for (const Case& c : {Case{{"/d", "1"}, ""}, Case{{}, "d"}}) {
        FakeRobotServer server([](int) { return MidField(); });
        const ChildResult result = RunInWorld(server, c.options, c.keys, kSomeCycles + 1200);
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        std::vector<std::int32_t> ids;
        for (const RecordedRequest& request : server.Requests()) {
            if (request.drawing) {
                EXPECT_EQ(request.type, 2);
                ids.push_back(std::get<std::int32_t>(request.values.at(0)));
            }
        }
        ASSERT_GE(ids.size(), 600u);
        for (std::int32_t id = 1; id <= 600; ++id) {
            ASSERT_EQ(ids[id - 1], id);
        }
    }
}

TEST(TracedCycleTest, DrawingOffOpensNoSecondConnection) {
    FakeRobotServer server([](int) { return MidField(); });
    RunInWorld(server);
    for (const RecordedRequest& request : server.Requests()) {
        EXPECT_FALSE(request.drawing);
    }
}

} // namespace
} // namespace botpilot

#include "link/connection.h"
#include "link/controller.h"
#include "tests/support/fake_robot_server.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace botpilot {
namespace {

using testing::FakeRobotServer;
using testing::FakeWorld;
using testing::WireValue;

std::unique_ptr<Controller> ConnectedController(const FakeRobotServer& server) {
    auto controller = std::make_unique<Controller>(
        std::make_unique<Connection>(kControllerClientName, kControllerInterfaceCode));
    controller->Connect("127.0.0.1", server.Port());
    return controller;
}

TEST(ControllerConnectionTest, ReadsTheWorldCycleByCycleOverTcp) {
    FakeRobotServer server([](int cycle) {
        FakeWorld world;
        world.x = cycle;
        world.robots = {{4, 1.0, 2.0, 0.5, "Zippy", "Nolix"}};
        world.objects = {{7, -1.0, -2.0}, {8, 3.0, 4.0}};
        return world;
    });
    auto controller = ConnectedController(server);

    EXPECT_EQ(controller->GetPlayingFieldSize(), std::make_pair(30.0, 20.0));
    controller->SetRobotName("Nolix");
    EXPECT_EQ(controller->GetSeenRobots().at(0).name, "Nolix");
    EXPECT_EQ(controller->GetSeenObjects().at(1).id, 8);
    EXPECT_EQ(controller->GetPosition().first, 0.0);
    EXPECT_EQ(controller->GetPosition().first, 1.0);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(requests[1].type, 6);
    EXPECT_EQ(requests[1].values, std::vector<WireValue>{std::string("Nolix")});
}

TEST(ControllerConnectionTest, InjectedErrorTextReachesTheCaller) {
    FakeRobotServer server;
    auto controller = ConnectedController(server);
    server.FailNext(14, "Robot destroyed");
    try {
        controller->StartRobot();
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Robot destroyed");
    }
    EXPECT_NO_THROW(controller->StartRobot());
}

} // namespace
} // namespace botpilot

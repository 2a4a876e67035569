#include "link/controller.h"
#include "link/graphics.h"
#include "link/settings.h"
#include "modes/evade_mode.h"
#include "modes/rove_mode.h"
#include "robot/robot.h"
#include "tests/modes/rover_test_support.h"
#include "tests/support/fake_robot_server.h"
#include "tests/support/recording_channel.h"
#include "world/check_scopes.h"
#include "world/playing_field.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace botpilot {
namespace {

using checks::ScopedPlayingFieldSize;
using testing::FakeRobotServer;
using testing::RecordedRequest;

/// The process's settings and singletons as each test finds them: the drawing client is created
/// afresh on first use, and everything the test changed is put back.
class TerrainRoverModeDrawingTest : public ::testing::Test {
  protected:
    TerrainRoverModeDrawingTest() : saved(ProcessSettings()) {
        Graphics::SetInstanceForTesting(nullptr);
        ProcessSettings().drawing = false;
    }
    ~TerrainRoverModeDrawingTest() override {
        Graphics::SetInstanceForTesting(nullptr);
        Controller::SetInstanceForTesting(nullptr);
        ProcessSettings() = saved;
    }

    /// Points both connections at `port` and `port` + 1 on this machine.
    static void UseServerAt(std::uint16_t port) {
        ProcessSettings().serverHost = "127.0.0.1";
        ProcessSettings().serverPort = port;
    }

    static std::vector<RecordedRequest> DrawingRequests(const FakeRobotServer& server) {
        std::vector<RecordedRequest> drawing;
        for (const RecordedRequest& request : server.Requests()) {
            if (request.drawing) {
                drawing.push_back(request);
            }
        }
        return drawing;
    }

    ScopedPlayingFieldSize field;
    Settings saved;
};

TEST_F(TerrainRoverModeDrawingTest, OpensTheDrawingConnectionOnlyOnceDrawingIsSwitchedOn) {
    FakeRobotServer server;
    UseServerAt(server.Port());
    Controller::SetInstanceForTesting(nullptr); // connects to the fake server on first use
    Robot robot;
    robot.terrain.AddSource(PlayingField::Instance());
    EvadeMode evade;
    evade.Attach(robot);

    evade.Update();
    EXPECT_EQ(server.RobotRequestTypes(), (std::vector<std::int32_t>{19, 18}));
    EXPECT_TRUE(DrawingRequests(server).empty());

    ProcessSettings().drawing = true; // as the `d` key does during a run
    evade.Update();
    evade.Update();
    // The engine settings are unchanged, so only the drawing passes travel: ids 1 to 600 twice.
    EXPECT_EQ(server.RobotRequestTypes().size(), 2u);
    const std::vector<RecordedRequest> drawing = DrawingRequests(server);
    ASSERT_EQ(drawing.size(), 1200u);
    for (std::size_t i = 0; i < drawing.size(); ++i) {
        EXPECT_EQ(drawing[i].type, 2);
        EXPECT_EQ(std::get<std::int32_t>(drawing[i].values.at(0)),
                  static_cast<std::int32_t>(i % 600 + 1));
    }
}

TEST_F(TerrainRoverModeDrawingTest, DrawsTheRoveWellAndThenTakesItOutOfTheTerrain) {
    FakeRobotServer server;
    UseServerAt(server.Port());
    testing::InstallRecordingController();
    ProcessSettings().drawing = true;
    Robot robot;
    RoveMode rove;
    rove.Attach(robot);
    rove.Update();
    // The well alone reaches everywhere on the field below 0: every cell is green, none red.
    const std::vector<RecordedRequest> drawing = DrawingRequests(server);
    ASSERT_EQ(drawing.size(), 600u);
    for (const RecordedRequest& item : drawing) {
        EXPECT_EQ(std::get<std::int32_t>(item.values.at(7)), 0);
        EXPECT_GT(std::get<std::int32_t>(item.values.at(8)), 50);
    }
    EXPECT_EQ(robot.terrain.Height(-14.0, 0.0), 0.0);
}

// Regression: a drawing connection that could not be opened left the rove well in the terrain.
TEST_F(TerrainRoverModeDrawingTest, WithNothingOnTheDrawingPortOnlyDrawingFails) {
    std::uint16_t closedPort = 0;
    {
        FakeRobotServer gone;
        closedPort = gone.Port(); // nothing listens there, nor on the next port, once it stops
    }
    UseServerAt(closedPort);
    testing::InstallRecordingController();
    Robot robot;
    RoveMode rove;
    rove.Attach(robot);

    EXPECT_NO_THROW(rove.Update()); // drawing off: no attempt to connect

    ProcessSettings().drawing = true;
    try {
        rove.Update();
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Unable to connect");
    }
    EXPECT_EQ(robot.terrain.Height(-14.0, 0.0), 0.0);
}

} // namespace
} // namespace botpilot

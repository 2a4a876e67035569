#include "platform/steady_time.h"
#include "platform/tcp_listener.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_robot_server.h"
#include "wire/controller_message.h"

#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace botpilot {
namespace {

using testing::ChildResult;
using testing::FakeRobotServer;
using testing::RecordedRequest;
using testing::WireValue;
using Types = std::vector<std::int32_t>;
using Values = std::vector<WireValue>;

ChildResult RunClientAgainst(const FakeRobotServer& server, const std::string& keys,
                             const std::function<void(int)>& whileRunning = nullptr) {
    return testing::RunChild(
        {BOTPILOT_PATH, "/s", "127.0.0.1", "/p", std::to_string(server.Port())}, keys, 30.0,
        whileRunning);
}

TEST(ControlRunTest, DeclaresTheDrivenRobotThenRunsCyclesUntilAKey) {
    FakeRobotServer server;
    // The keys arrive only after a few cycles have run, so the run is seen in its stride.
    const ChildResult result = RunClientAgainst(server, "", [&](int processId) {
        server.WaitForRequests(12 + 15);
        testing::AskChildToStop(processId);
    });
    EXPECT_FALSE(result.timedOut);
    EXPECT_TRUE(result.exited) << "signal " << result.signalNumber;
    EXPECT_EQ(result.exitStatus, 0) << result.err;

    const std::vector<RecordedRequest> requests = server.Requests();
    // The reads of each cycle, without the commands the modes send between them.
    Types types;
    for (const std::int32_t type : server.RobotRequestTypes()) {
        if (type != 18 && type != 19 && type != 21 && type != 28) {
            types.push_back(type);
        }
    }
    ASSERT_GE(types.size(), 27u);
    EXPECT_EQ(Types(types.begin(), types.begin() + 27),
              (Types{1,  2,  5,  6,  29, 8, 9, 11, 12, 10, 13, 14, // field, declaration, start
                     20, 22, 23, 17, 16,                           // first cycle: scanner
                     27, 22, 23, 17, 16,                           // second: gun
                     20, 22, 23, 17, 16}));                        // third: scanner again
    const std::vector<Values> declared = {{},
                                          {},
                                          {std::string("Zippy")},
                                          {std::string("Nolix")},
                                          {0, 255, 0},
                                          {12.0, 180.0},
                                          {10.0, 150.0, 60.0},
                                          {0.0, 0.0},
                                          {1.5, 10.0, 15.16, 0.4},
                                          {25.0},
                                          {1.5},
                                          {}};
    for (std::size_t i = 0; i < declared.size(); ++i) {
        EXPECT_EQ(requests[i].values, declared[i]) << "request " << i;
    }
}

TEST(ControlRunTest, DrawKeyTogglesAndAnyOtherKeyEnds) {
    FakeRobotServer server;
    const ChildResult result = RunClientAgainst(server, "ddq");
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0);
    // Each press says what it did, among the lines that name the active modes.
    const std::size_t on = result.err.find("Draw\nDrawing on\n");
    const std::size_t off = result.err.find("Draw\nDrawing off\n");
    EXPECT_NE(on, std::string::npos) << result.err;
    EXPECT_NE(off, std::string::npos) << result.err;
    EXPECT_LT(on, off) << result.err;
}

// Regression: the stop was looked at only between cycles, so a drawing server answering each of
// a pass's 600 items in 100 ms held SIGTERM for a minute.
TEST(ControlRunTest, StopEndsASlowDrawingPassAfterTheItemInProgress) {
    FakeRobotServer server;
    server.SetTamper(
        [](const RecordedRequest& request) -> std::optional<std::vector<std::uint8_t>> {
            if (request.drawing) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            return std::nullopt;
        });
    double stoppedAt = 0.0;
    const ChildResult result = testing::RunChild(
        {BOTPILOT_PATH, "/s", "127.0.0.1", "/p", std::to_string(server.Port()), "/d", "1"}, "",
        30.0, [&](int processId) {
            while (server.Requests().empty() || !server.Requests().back().drawing) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            stoppedAt = SteadySeconds();
            testing::AskChildToStop(processId);
        });
    const double stopTook = SteadySeconds() - stoppedAt;
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    // One item in progress and one cycle after it; a whole pass would take a minute.
    EXPECT_LT(stopTook, 5.0);
    std::size_t drawn = 0;
    for (const RecordedRequest& request : server.Requests()) {
        drawn += request.drawing ? 1 : 0;
    }
    EXPECT_LT(drawn, 100u);
}

TEST(ControlRunTest, ServerErrorTextEndsTheRun) {
    struct Case {
        ControllerMessage failing;
        const char* text;
        int exitStatus;
    };
    // A battle that is over ends the run as its normal end; any other refusal is an error.
    for (const Case& c : {Case{ControllerMessage::SetRobotColour, "Robot destroyed", 1},
                          Case{ControllerMessage::StartRobot, "Robot destroyed", 1},
                          Case{ControllerMessage::GetSeenObjects, "Robot destroyed", 1},
                          Case{ControllerMessage::GetSeenObjects, "Battle over: Nolix wins", 0},
                          Case{ControllerMessage::GetPosition, "Battle over: draw", 0}}) {
        FakeRobotServer server;
        server.FailNext(static_cast<std::int32_t>(c.failing), c.text);
        const ChildResult result = RunClientAgainst(server, "");
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.err, std::string(c.text) + "\n");
        EXPECT_EQ(result.exitStatus, c.exitStatus) << c.text;
    }
}

// A field size the rover could not cache (or that no robot fits in) is a broken reply, not a
// reason to allocate without bound.
TEST(ControlRunTest, UnusableFieldSizeIsRefused) {
    for (const double side : {0.0, -30.0, 1e9, std::nan("")}) {
        FakeRobotServer server([side](int) {
            testing::FakeWorld world;
            world.xSize = side;
            return world;
        });
        const ChildResult result = RunClientAgainst(server, "");
        EXPECT_EQ(result.exitStatus, 1) << side;
        EXPECT_NE(result.err.find("is not usable: each side must be above 0 and at most 200"),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(server.RobotRequestTypes(), std::vector<std::int32_t>{1}) << side;
    }
}

TEST(ControlRunTest, UnreachableServerIsReported) {
    std::uint16_t closedPort = 0;
    {
        TcpListener listener = TcpListener::Listen("127.0.0.1", 0);
        closedPort = listener.Port();
    }
    const ChildResult result = testing::RunChild(
        {BOTPILOT_PATH, "/s", "127.0.0.1", "/p", std::to_string(closedPort)}, "q", 30.0);
    EXPECT_EQ(result.err,
              "Unable to connect\nNo server answered at 127.0.0.1:" + std::to_string(closedPort) +
                  "; start an arena first (build/release/botarena), or run "
                  "scripts/battle\n");
    EXPECT_EQ(result.exitStatus, 1);
}

} // namespace
} // namespace botpilot

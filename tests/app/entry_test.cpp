#include "app/check_list.h"
#include "app/command_line.h"
#include "platform/tcp_listener.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_server.h"
#include "wire/frame.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace botpilot {
namespace {

using testing::ChildResult;
using testing::RunChild;

ChildResult RunClient(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), BOTPILOT_PATH);
    return RunChild(arguments, "", 30.0);
}

/// The names of the checks, one per line, as the self-test writes them to standard output.
std::string ExpectedCheckNames() {
    std::string names;
    const CheckRegistry checks = BuiltInChecks();
    for (const CheckEntry& entry : checks.Entries()) {
        names += entry.name + "\n";
    }
    return names;
}

TEST(EntryTest, SelfTestRunsEveryCheckAndDoesNotWaitOnClosedInput) {
    const ChildResult result = RunClient({"/t", "1"});
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, ExpectedCheckNames());
    EXPECT_EQ(result.err,
              "0 failed, " + std::to_string(BuiltInChecks().Entries().size()) + " passed\n");
}

TEST(EntryTest, SelfTestRunsTheTwentySevenChecksInTheirFixedOrder) {
    const std::vector<std::string> order = {"TestAngle",
                                            "TestToPositiveRadians",
                                            "TestAngleCrossesBoundary",
                                            "TestAngleLinearInterpolate",
                                            "TestIsFacing",
                                            "TestCachedDouble",
                                            "TestCachedFeature",
                                            "TestClock",
                                            "TestLinearPath",
                                            "TestLinearInterpolate",
                                            "TestBoundedLinearInterpolate",
                                            "TestMountedBattleObject",
                                            "TestObjectField",
                                            "TestObjectFieldPurgePlayingField",
                                            "TestObjectFieldPurgeTooOld",
                                            "TestObjectFieldPurgeTooOldSingleObservation",
                                            "TestPathChooserStraightPath",
                                            "TestPlayingFieldHeight",
                                            "TestPredictedBattleObject",
                                            "TestRobotPathForwardStraight",
                                            "TestRobotPathForwardRight",
                                            "TestRobotPathForwardLeft",
                                            "TestRobotPathBackwardStraight",
                                            "TestRobotPathBackwardLeft",
                                            "TestRobotPathBackwardRight",
                                            "TestTheTester",
                                            "TestTimer"};
    std::vector<std::string> registered;
    const CheckRegistry checks = BuiltInChecks();
    for (const CheckEntry& entry : checks.Entries()) {
        registered.push_back(entry.name);
    }
    EXPECT_EQ(registered, order);
}

TEST(EntryTest, SelfTestSwitchNeedsExactlyOne) {
    // "/t 01" still reads as 1; "/t 2" does not switch the self-test on, so the client tries to
    // connect instead (to a port where nothing listens).
    EXPECT_EQ(RunClient({"/t", "01"}).out, ExpectedCheckNames());
    std::uint16_t closedPort = 0;
    {
        TcpListener listener = TcpListener::Listen("127.0.0.1", 0);
        closedPort = listener.Port();
    }
    const ChildResult result =
        RunClient({"/t", "2", "/s", "127.0.0.1", "/p", std::to_string(closedPort)});
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err.rfind("Unable to connect\n", 0), 0u) << result.err;
    EXPECT_EQ(result.exitStatus, 1);
}

TEST(EntryTest, RefusedOrHelpCommandLineIsFollowedByTheUsage) {
    std::ostringstream usage;
    WriteUsage(usage);
    struct Case {
        std::vector<std::string> arguments;
        std::string err;
        int exitStatus;
    };
    const Case cases[] = {
        {{"/s"}, "Exception\n" + usage.str(), 1},
        {{"/?"}, "Exception\n" + usage.str(), 1},
        {{"-h"}, "Exception\n" + usage.str(), 1},
        {{"/t", "1", "--help"}, "Exception\n" + usage.str(), 1},
        // An even count runs as asked; the unknown pair is named, not refused.
        {{"/x", "1", "/t", "1"},
         "Ignored unknown option '/x' with its value '1'\n0 failed, " +
             std::to_string(BuiltInChecks().Entries().size()) + " passed\n",
         0},
    };
    for (const Case& c : cases) {
        const ChildResult result = RunClient(c.arguments);
        EXPECT_FALSE(result.timedOut) << c.arguments[0];
        EXPECT_EQ(result.err, c.err) << c.arguments[0];
        EXPECT_EQ(result.exitStatus, c.exitStatus) << c.arguments[0];
    }
}

TEST(EntryTest, ServerErrorsEndTheRunWithStatusOne) {
    const ChildResult unnamed = RunClient({"/s", "", "/p", "1"});
    EXPECT_EQ(unnamed.err, "Unable to resolve hostname ''\n");
    EXPECT_EQ(unnamed.exitStatus, 1);

    testing::ScriptedServer refusing(
        [](TcpSocket& client) { testing::AnswerHandshake(client, 0); });
    const ChildResult refused =
        RunClient({"/s", "127.0.0.1", "/p", std::to_string(refusing.Port())});
    EXPECT_EQ(refused.err, "Unexpected server response\n");
    EXPECT_EQ(refused.exitStatus, 1);
}

TEST(EntryTest, ConnectsWithTheControllerHandshake) {
    std::vector<std::uint8_t> handshake;
    testing::ScriptedServer server([&](TcpSocket& client) {
        handshake = testing::AnswerHandshake(client, 1);
        testing::ReadBytes(client, 1, 10.0);
    });
    const ChildResult result = RunClient({"/p", std::to_string(server.Port()), "/s", "127.0.0.1"});
    server.Join();
    EXPECT_EQ(handshake, BuildHandshake("Controller", 4));
    EXPECT_FALSE(result.timedOut);
}

} // namespace
} // namespace botpilot

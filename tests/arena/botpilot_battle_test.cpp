#include "tests/arena/arena_process.h"
#include "tests/support/child_process.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <string>
#include <unistd.h>

namespace botarena {
namespace {

/// The real client against the real arena: the driven robot fights two built-in opponents until
/// the arena ends the battle after five seconds of battle time. Nothing here depends on how fast
/// the machine is: the battle's end comes from the arena, not from a clock of the test's, and the
/// checks ask only for what any pace gives (a cycle run, a body moved).
TEST(BotpilotBattleTest, ClientFightsAndBothProgramsEndCleanly) {
    const std::string summaryPath =
        ::testing::TempDir() + "botpilot_battle_" + std::to_string(getpid()) + ".json";
    const std::string logPath = summaryPath + ".log";
    testing::ArenaProcess arena({BOTARENA_PATH, "--port", "0", "--http", "off", "--bots", "2",
                                 "--duration", "5", "--seed", "1", "--summary", summaryPath},
                                logPath);
    const auto firstLine = arena.ReadFirstLine(10.0);
    ASSERT_TRUE(firstLine.has_value());
    const int port = testing::PortFromFirstLine(*firstLine);
    ASSERT_NE(port, 0) << *firstLine;

    // Regression: a key came three seconds into the run and at least 1,000 requests had to be
    // served by then, which a loaded machine could fail. The client now runs until the arena's
    // answer "Battle over" (status 0), or until its robot is destroyed (status 1).
    const botpilot::testing::ChildResult result = botpilot::testing::RunChild(
        {BOTPILOT_PATH, "/s", "127.0.0.1", "/p", std::to_string(port)}, "", 60.0);
    EXPECT_FALSE(result.timedOut);
    const bool destroyed = result.err.find("Robot destroyed\n") != std::string::npos;
    EXPECT_TRUE(result.err.find("Battle over: ") != std::string::npos || destroyed) << result.err;
    EXPECT_EQ(result.exitStatus, destroyed ? 1 : 0) << result.err;
    EXPECT_EQ(result.err.rfind("Active modes: ", 0), 0u) << result.err;
    EXPECT_EQ(arena.Wait(15.0), 0);

    std::ifstream summaryFile(summaryPath);
    ASSERT_TRUE(summaryFile.good());
    const nlohmann::json summary = nlohmann::json::parse(summaryFile);
    const nlohmann::json* zippy = nullptr;
    for (const nlohmann::json& robot : summary.at("robots")) {
        if (robot.at("type") == "Zippy") {
            zippy = &robot;
        }
    }
    ASSERT_NE(zippy, nullptr) << summary.dump(1);
    EXPECT_EQ(zippy->at("name"), "Nolix");
    const nlohmann::json& settings = zippy->at("settings");
    EXPECT_EQ(settings.at("engine"), nlohmann::json({12.0, 180.0}));
    EXPECT_EQ(settings.at("scanner"), nlohmann::json({10.0, 150.0, 60.0}));
    EXPECT_EQ(settings.at("gun"), nlohmann::json({1.5, 10.0, 15.16, 0.4}));
    EXPECT_EQ(settings.at("firstFitting"), 25.0);
    EXPECT_GT(zippy->at("distance").get<double>(), 1.0);

    const nlohmann::json& connection = summary.at("connections").at(0);
    // The start-up takes 11 requests (the field's size, the robot's declaration, its start) and a
    // cycle five more: at least one cycle ran.
    EXPECT_GE(connection.at("requestsServed").get<long>(), 11 + 5);
    EXPECT_EQ(connection.at("protocolErrors"), 0);
    std::remove(summaryPath.c_str());
    std::remove(logPath.c_str());
}

} // namespace
} // namespace botarena

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

/// The real client against the real arena: the driven robot fights two built-in opponents for
/// about three seconds, until a piped key ends the run.
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

    // The key comes about three seconds into the run, as a user at the keyboard would press it.
    const std::string client = std::string("(sleep 3; printf q) | exec '") + BOTPILOT_PATH +
                               "' /s 127.0.0.1 /p " + std::to_string(port);
    const botpilot::testing::ChildResult result =
        botpilot::testing::RunChild({"/bin/sh", "-c", client}, "", 30.0);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
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
    EXPECT_GE(connection.at("requestsServed").get<long>(), 1000);
    EXPECT_EQ(connection.at("protocolErrors"), 0);
    std::remove(summaryPath.c_str());
    std::remove(logPath.c_str());
}

} // namespace
} // namespace botarena

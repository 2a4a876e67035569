#include "link/controller.h"
#include "platform/steady_time.h"
#include "tests/arena/arena_process.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace botarena {
namespace {

/// How long the test robot is driven. [Units: s]
constexpr double kDriveSeconds = 3.0;

/// Configures the default robot the way the client declares it, in the client's order.
void ConfigureDefaultRobot(botpilot::Controller& controller) {
    controller.GetPlayingFieldSize();
    controller.GetRobotId();
    controller.SetRobotType("Plimb");
    controller.SetRobotName("Nolix");
    controller.SetRobotColour(0, 255, 0);
    controller.ConfigureEngine(3.0, 75.0);
    controller.ConfigureScanner(10.0, 60.0, 60.0);
    controller.ConfigureTurret(0.0, 0.0);
    controller.ConfigureGun(1.3, 4.0, 2.0, 4.5);
    controller.ConfigureFirstFitting(50.0);
    controller.ConfigureSecondFitting(1.5);
    controller.StartRobot();
}

/// Drives for the given time, cycle after cycle as the client does: one slow reading, the
/// sightings, heading and position, then commands. Returns the requests sent.
long Drive(botpilot::Controller& controller, double seconds) {
    long requests = 0;
    const double start = botpilot::SteadySeconds();
    for (int cycle = 0; botpilot::SteadySeconds() - start < seconds; ++cycle) {
        const double charge = controller.GetGunCharge();
        controller.GetSeenRobots();
        controller.GetSeenObjects();
        controller.GetOrientation();
        const auto [x, y] = controller.GetPosition();
        requests += 5;
        // Head for a point circling the centre, so the robot keeps moving and away from walls.
        const double aim =
            std::atan2(4.0 * std::sin(cycle * 0.001) - y, 6.0 * std::cos(cycle * 0.001) - x);
        controller.SetEngineOrientation(aim);
        controller.SetEngineSpeed(100.0);
        controller.SetScannerOrientation(std::sin(cycle * 0.01));
        requests += 3;
        if (charge >= 50.0) {
            controller.FireGun();
            ++requests;
        }
    }
    return requests;
}

const nlohmann::json* Find(const nlohmann::json& list, const char* key, bool value) {
    for (const nlohmann::json& entry : list) {
        if (entry.value(key, !value) == value) {
            return &entry;
        }
    }
    return nullptr;
}

TEST(ArenaEndToEndTest, DrivenRobotMovesAndIsServedWithoutProtocolErrors) {
    const std::string base = ::testing::TempDir() + "arena_e2e_" + std::to_string(getpid());
    const std::string summaryPath = base + "_summary.json";
    const std::string logPath = base + "_log.txt";
    testing::ArenaProcess arena({BOTARENA_PATH, "--port", "0", "--http", "off", "--bots", "2",
                                 "--seed", "11", "--duration", "5", "--summary", summaryPath},
                                logPath);
    const std::optional<std::string> firstLine = arena.ReadFirstLine(20.0);
    ASSERT_TRUE(firstLine);
    const int port = testing::PortFromFirstLine(*firstLine);
    ASSERT_GT(port, 0) << *firstLine;

    long requests = 0;
    double seconds = 0.0;
    {
        botpilot::Controller controller;
        controller.Connect("127.0.0.1", port);
        ConfigureDefaultRobot(controller);
        const double start = botpilot::SteadySeconds();
        requests = Drive(controller, kDriveSeconds);
        seconds = botpilot::SteadySeconds() - start;
    }
    const double rate = static_cast<double>(requests) / seconds;
    std::cout << "[ arena    ] one connection: " << requests << " requests in " << seconds << " s, "
              << static_cast<long>(rate) << " requests per second\n";
    RecordProperty("requestsPerSecond", static_cast<int>(rate));

    ASSERT_EQ(arena.Wait(20.0), std::optional<int>(0)) << arena.Output();
    EXPECT_NE(arena.Output().find("Battle over after 5.00 s: duration reached"), std::string::npos)
        << arena.Output();

    std::ifstream file(summaryPath);
    ASSERT_TRUE(file) << summaryPath;
    const nlohmann::json summary = nlohmann::json::parse(file);
    ASSERT_EQ(summary["robots"].size(), 3u);
    const nlohmann::json* robot = Find(summary["robots"], "builtIn", false);
    ASSERT_NE(robot, nullptr);
    EXPECT_EQ((*robot)["name"], "Nolix");
    EXPECT_EQ((*robot)["type"], "Plimb");
    EXPECT_EQ((*robot)["colour"], nlohmann::json({0, 255, 0}));
    const nlohmann::json& settings = (*robot)["settings"];
    EXPECT_EQ(settings["engine"], nlohmann::json({3.0, 75.0}));
    EXPECT_EQ(settings["scanner"], nlohmann::json({10.0, 60.0, 60.0}));
    EXPECT_EQ(settings["turret"], nlohmann::json({0.0, 0.0}));
    EXPECT_EQ(settings["gun"], nlohmann::json({1.3, 4.0, 2.0, 4.5}));
    EXPECT_EQ(settings["firstFitting"], 50.0);
    EXPECT_EQ(settings["secondFitting"], 1.5);
    EXPECT_GT((*robot)["distance"].get<double>(), 1.0);
    EXPECT_EQ((*robot)["state"], "departed");

    ASSERT_EQ(summary["connections"].size(), 1u);
    const nlohmann::json& connection = summary["connections"][0];
    EXPECT_EQ(connection["kind"], "robot");
    EXPECT_EQ(connection["robotId"], (*robot)["id"]);
    // Twelve configuration requests come before the drive.
    EXPECT_EQ(connection["requestsServed"].get<long>(), requests + 12);
    EXPECT_GE(connection["requestsServed"].get<long>(), 1000);
    EXPECT_EQ(connection["protocolErrors"], 0);
    EXPECT_EQ(connection["refusedRequests"], 0);
    EXPECT_EQ(connection["closeReason"], "client closed the connection");
    std::remove(summaryPath.c_str());
    std::remove(logPath.c_str());
}

} // namespace
} // namespace botarena

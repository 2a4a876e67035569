#include "app/robot_roster.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace botpilot {
namespace {

std::vector<std::string> ModeNames(const Robot& robot) {
    std::vector<std::string> names;
    for (const auto& mode : robot.Modes()) {
        names.push_back(mode->GetName());
    }
    return names;
}

TEST(RobotRosterTest, ThreePersonalitiesWithTheirModesInOrder) {
    RobotRoster& roster = RobotRoster::Instance();
    EXPECT_EQ(&roster, &RobotRoster::Instance());

    const std::vector<std::string> standard = {"Rove",           "LookForward",   "WatchRobots",
                                               "SecondSighting", "HeadForTarget", "StraightShooter",
                                               "Evade"};
    EXPECT_EQ(roster.First().identity.type, "Simple");
    EXPECT_EQ(ModeNames(roster.First()), standard);
    EXPECT_EQ(roster.Second().identity.type, "Zippy");
    EXPECT_EQ(ModeNames(roster.Second()), standard);
    EXPECT_EQ(roster.Third().identity.type, "Test");
    EXPECT_EQ(ModeNames(roster.Third()), std::vector<std::string>{"StraightShooter"});
    // Each robot owns its own modes.
    EXPECT_NE(roster.First().Modes()[0].get(), roster.Second().Modes()[0].get());
}

TEST(RobotRosterTest, OnlyZippyDiffersFromTheDefaults) {
    RobotRoster& roster = RobotRoster::Instance();
    const Robot& zippy = roster.Second();
    EXPECT_EQ(zippy.body.maxSpeed, 12.0);
    EXPECT_EQ(zippy.body.maxTurnRate, 180.0);
    EXPECT_EQ(zippy.scanner.setting2, 150.0);
    EXPECT_EQ(zippy.firstFitting.setting, 25.0);
    EXPECT_EQ(zippy.gun.setting3, 15.16);
    const Robot* others[] = {&roster.First(), &roster.Third()};
    for (const Robot* robot : others) {
        EXPECT_EQ(robot->body.maxSpeed, 3.0);
        EXPECT_EQ(robot->scanner.setting2, 60.0);
        EXPECT_EQ(robot->gun.setting1, 1.3);
    }
    const Robot* all[] = {&roster.First(), &zippy, &roster.Third()};
    for (const Robot* robot : all) {
        EXPECT_EQ(robot->identity.name, "Nolix");
        EXPECT_EQ(robot->identity.green, 255);
        EXPECT_EQ(robot->identity.id, -1); // nothing is declared while the roster is built
    }
}

} // namespace
} // namespace botpilot

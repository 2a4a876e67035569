#include "app/robot_roster.h"

#include "app/mode_sets.h"

namespace botpilot {

RobotRoster& RobotRoster::Instance() {
    // Never destroyed: the robots and their modes live as long as the process.
    static RobotRoster* roster = new RobotRoster();
    return *roster;
}

RobotRoster::RobotRoster() {
    SetUpPersonality(first, "Simple");
    SetUpPersonality(second, "Zippy");

    // Zippy is fast, turns quickly, sees wide and hits hard, with lighter armour.
    second.body.maxSpeed = 12.0;
    second.body.maxTurnRate = 180.0;
    second.scanner.setting2 = 150.0;
    second.firstFitting.setting = 25.0;
    second.gun.setting1 = 1.5;
    second.gun.setting2 = 10.0;
    second.gun.setting3 = 15.16;
    second.gun.setting4 = 0.4;

    third.identity.type = "Test";
    AddTestModeSet(third);
}

void RobotRoster::SetUpPersonality(Robot& robot, const std::string& personality) {
    robot.identity.type = personality;
    AddStandardModeSet(robot);
}

} // namespace botpilot

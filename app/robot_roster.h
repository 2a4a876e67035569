#pragma once

#include "robot/robot.h"

#include <string>

namespace botpilot {

/// The one place where robots are defined: three robots with their personalities. The control
/// run drives the second, "Zippy"; the others are built and kept but never started.
class RobotRoster {
  public:
    /// The roster, built on the first call. Building it sends nothing to the server.
    static RobotRoster& Instance();

    Robot& First() { return first; }
    Robot& Second() { return second; }
    Robot& Third() { return third; }

    RobotRoster();
    RobotRoster(const RobotRoster&) = delete;
    RobotRoster& operator=(const RobotRoster&) = delete;

  private:
    /// Names the robot's personality and gives it the standard mode set.
    static void SetUpPersonality(Robot& robot, const std::string& personality);

    Robot first;
    Robot second;
    Robot third;
};

} // namespace botpilot

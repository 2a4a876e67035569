#include "modes/watch_robots_mode.h"

#include "diagnostics/timer.h"
#include "modes/nearest_object.h"
#include "robot/robot.h"

namespace botpilot {

namespace {

/// Above the look-forward fallback, below second sighting: a robot already seen matters less
/// than confirming an object seen only once.
constexpr double kScore = 0.5;

} // namespace

std::string WatchRobotsMode::GetName() const {
    return "WatchRobots";
}

double WatchRobotsMode::GetDesirability() {
    return GetRobot().scanner.robotField.Size() != 0 ? kScore : 0.0;
}

Angle WatchRobotsMode::GetDesiredOrientation() {
    Timer timer("WatchRobotsMode::GetDesiredOrientation");
    const Robot& robot = GetRobot();
    return RelativeBearingOfNearest(robot.scanner.robotField, robot.body);
}

} // namespace botpilot

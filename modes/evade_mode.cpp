#include "modes/evade_mode.h"

#include "geometry/point.h"
#include "robot/robot.h"

namespace botpilot {

namespace {

// Danger above this height makes the robot flee. The walls alone never pass it (30 on a wall, 60
// in a corner): it takes a seen robot or an object's track as well.
constexpr double kDangerHeight = 70.0;
constexpr double kEvadeScore = 0.9;

} // namespace

double EvadeMode::GetDesirability() {
    const Robot& robot = GetRobot();
    const Point here = robot.body.Position();
    // The terrain as it stands between updates: no other mode's extra feature is in it then.
    return robot.terrain.Height(here.x, here.y) > kDangerHeight ? kEvadeScore : 0.0;
}

} // namespace botpilot

#include "app/mode_sets.h"

#include "modes/evade_mode.h"
#include "modes/head_for_target_mode.h"
#include "modes/look_forward_mode.h"
#include "modes/rove_mode.h"
#include "modes/second_sighting_mode.h"
#include "modes/straight_shooter_mode.h"
#include "modes/watch_robots_mode.h"

#include <memory>

namespace botpilot {

void AddStandardModeSet(Robot& robot) {
    // The positive scores of modes that compete for one component all differ, so this order
    // decides only ties at 0, which never win; it is still the order the modes are asked in.
    robot.AddMode(std::make_unique<RoveMode>());
    robot.AddMode(std::make_unique<LookForwardMode>());
    robot.AddMode(std::make_unique<WatchRobotsMode>());
    robot.AddMode(std::make_unique<SecondSightingMode>());
    robot.AddMode(std::make_unique<HeadForTargetMode>());
    robot.AddMode(std::make_unique<StraightShooterMode>());
    robot.AddMode(std::make_unique<EvadeMode>());
}

void AddTestModeSet(Robot& robot) {
    robot.AddMode(std::make_unique<StraightShooterMode>());
}

} // namespace botpilot

#pragma once

#include "robot/robot.h"

namespace botpilot {

/// Adds the standard personality's modes, in their fixed order: the order in which the robot
/// asks for their scores, and so the tie-break of the mode choice.
void AddStandardModeSet(Robot& robot);

/// Adds the test personality's single mode.
void AddTestModeSet(Robot& robot);

} // namespace botpilot

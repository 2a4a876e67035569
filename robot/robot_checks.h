#pragma once

namespace botpilot {

// The built-in checks of the robot's path prediction and path choice. Each returns normally when
// it passes and throws a std::string ("Expected: ..., Actual: ...") when it fails.

void TestPathChooserStraightPath();
void TestRobotPathForwardStraight();
void TestRobotPathForwardRight();
void TestRobotPathForwardLeft();
void TestRobotPathBackwardStraight();
void TestRobotPathBackwardLeft();
void TestRobotPathBackwardRight();

} // namespace botpilot

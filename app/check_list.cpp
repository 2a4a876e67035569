#include "app/check_list.h"

#include "diagnostics/timer.h"
#include "geometry/geometry_checks.h"
#include "robot/robot_checks.h"
#include "world/world_checks.h"

namespace botpilot {

CheckRegistry BuiltInChecks() {
    CheckRegistry registry;
    // The order is part of the self-test's output: keep this list in it.
    registry.Register("TestAngle", &TestAngle);
    registry.Register("TestToPositiveRadians", &TestToPositiveRadians);
    registry.Register("TestAngleCrossesBoundary", &TestAngleCrossesBoundary);
    registry.Register("TestAngleLinearInterpolate", &TestAngleLinearInterpolate);
    registry.Register("TestIsFacing", &TestIsFacing);
    registry.Register("TestCachedDouble", &TestCachedDouble);
    registry.Register("TestCachedFeature", &TestCachedFeature);
    registry.Register("TestClock", &TestClock);
    registry.Register("TestLinearPath", &TestLinearPath);
    registry.Register("TestLinearInterpolate", &TestLinearInterpolate);
    registry.Register("TestBoundedLinearInterpolate", &TestBoundedLinearInterpolate);
    registry.Register("TestMountedBattleObject", &TestMountedBattleObject);
    registry.Register("TestObjectField", &TestObjectField);
    registry.Register("TestObjectFieldPurgePlayingField", &TestObjectFieldPurgePlayingField);
    registry.Register("TestObjectFieldPurgeTooOld", &TestObjectFieldPurgeTooOld);
    registry.Register("TestObjectFieldPurgeTooOldSingleObservation",
                      &TestObjectFieldPurgeTooOldSingleObservation);
    registry.Register("TestPathChooserStraightPath", &TestPathChooserStraightPath);
    registry.Register("TestPlayingFieldHeight", &TestPlayingFieldHeight);
    registry.Register("TestPredictedBattleObject", &TestPredictedBattleObject);
    registry.Register("TestRobotPathForwardStraight", &TestRobotPathForwardStraight);
    registry.Register("TestRobotPathForwardRight", &TestRobotPathForwardRight);
    registry.Register("TestRobotPathForwardLeft", &TestRobotPathForwardLeft);
    registry.Register("TestRobotPathBackwardStraight", &TestRobotPathBackwardStraight);
    registry.Register("TestRobotPathBackwardLeft", &TestRobotPathBackwardLeft);
    registry.Register("TestRobotPathBackwardRight", &TestRobotPathBackwardRight);
    registry.Register("TestTheTester", &TestTheTester);
    registry.Register("TestTimer", &TestTimer);
    return registry;
}

} // namespace botpilot

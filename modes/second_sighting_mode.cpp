#include "modes/second_sighting_mode.h"

#include "modes/nearest_object.h"
#include "robot/robot.h"

namespace botpilot {

namespace {

/// Above watching robots: an object seen once is forgotten within a second unless seen again.
constexpr double kScore = 0.8;

} // namespace

std::string SecondSightingMode::GetName() const {
    return "SecondSighting";
}

double SecondSightingMode::GetDesirability() {
    for (const PredictedBattleObject& object : GetRobot().scanner.objectField.InIdOrder()) {
        if (object.ObservationCount() == 1) {
            return kScore;
        }
    }
    return 0.0;
}

Angle SecondSightingMode::GetDesiredOrientation() {
    const Robot& robot = GetRobot();
    // The nearest object of any observation count: not necessarily the one seen once.
    return RelativeBearingOfNearest(robot.scanner.objectField, robot.body);
}

} // namespace botpilot

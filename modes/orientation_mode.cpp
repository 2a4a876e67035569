#include "modes/orientation_mode.h"

#include "robot/robot.h"

namespace botpilot {

void OrientationMode::Attach(Robot& attachedTo) {
    Mode::Attach(attachedTo);
    AddResource(attachedTo.scanner);
}

void OrientationMode::Update() {
    GetRobot().scanner.SetOrientation(GetDesiredOrientation());
}

} // namespace botpilot

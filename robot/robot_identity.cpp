#include "robot/robot_identity.h"

#include "link/controller.h"

namespace botpilot {

void RobotIdentity::Announce() {
    Controller& controller = Controller::Instance();
    id = controller.GetRobotId();
    controller.SetRobotType(type);
    controller.SetRobotName(name);
    controller.SetRobotColour(red, green, blue);
}

} // namespace botpilot

#include "app/control_run.h"

#include "link/controller.h"

#include <iostream>

namespace botpilot {

void RunControl(Keyboard& /*keyboard*/) {
    // Connecting performs the handshake; driving a robot arrives with the robot itself.
    Controller::Instance();
    std::cerr << "Connected to the server; this build cannot drive a robot yet" << std::endl;
}

} // namespace botpilot

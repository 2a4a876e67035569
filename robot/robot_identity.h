#pragma once

#include <cstdint>
#include <string>

namespace botpilot {

/// Who the robot is, as it declares itself to the server.
struct RobotIdentity {
    /// Assigned by the server in `Announce`; -1 until then.
    std::int32_t id = -1;
    /// The personality name; the roster sets it.
    std::string type = "Plimb";
    std::string name = "Nolix";
    /// The robot's colour. [Limit: 0 to 255 each]
    std::int32_t red = 0;
    std::int32_t green = 255;
    std::int32_t blue = 0;

    /// Asks the server for the robot's id, then declares type, name and colour, in that order.
    void Announce();
};

} // namespace botpilot

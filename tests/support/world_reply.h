#pragma once

// A world as a server shows it to one robot, and the replies that show it. Shared by the test
// doubles of a server and by the benchmarks, which need no test framework for it.

#include "link/controller.h"
#include "wire/message.h"

#include <cstdint>
#include <vector>

namespace botpilot::testing {

/// What the robot knows in one cycle; a cycle ends with the GetPosition reply.
struct FakeWorld {
    double xSize = 30.0;
    double ySize = 20.0;
    std::int32_t robotId = 1;
    double x = 0.0;
    double y = 0.0;
    double heading = 0.0;
    double scannerOrientation = 0.0;
    double turretOrientation = 0.0;
    double gunCharge = 100.0;
    std::int32_t fireResult = 0;
    std::vector<RobotSighting> robots;
    std::vector<ObjectSighting> objects;
};

/// The normal reply of the robot connection to a request of this type, from the world's values.
Message WorldReply(std::int32_t type, const FakeWorld& world);

} // namespace botpilot::testing

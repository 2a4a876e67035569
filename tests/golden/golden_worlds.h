#pragma once

// The scripted worlds of the golden traces: what the server tells the driven robot, cycle by
// cycle. Each world is a pure function of the cycle number, so a trace replays exactly.

#include "tests/support/fake_robot_server.h"

#include <ostream>
#include <string>
#include <vector>

namespace botpilot::testing {

/// One scripted world and how long the trace follows it.
struct GoldenWorld {
    std::string name;
    int cycles = 0;
    /// Whether the danger map is drawn on the drawing connection.
    bool drawing = false;
    FakeRobotServer::WorldScript script;
    /// Modes that must become current at some point, so that the world still exercises what it
    /// was written for (a trace of a robot that never evades guards nothing about evading).
    std::vector<std::string> expectedModes;
};

/// Names the world in test output.
inline void PrintTo(const GoldenWorld& world, std::ostream* out) {
    *out << world.name;
}

/// The worlds, in the order the traces are recorded.
std::vector<GoldenWorld> GoldenWorlds();

} // namespace botpilot::testing

#pragma once

// Records what the driven robot sends in a scripted world: every request frame, byte for byte,
// on the robot connection and on the drawing connection, cycle by cycle.

#include "tests/golden/golden_worlds.h"

#include <string>

namespace botpilot::testing {

/// The recording of one world.
struct GoldenTrace {
    /// One line per cycle (and one for the set-up before the first): the cycle, the request
    /// types in order (drawing items as "g2", runs shortened as "g2x600"), and a 64-bit FNV-1a
    /// hash of every request frame of the cycle; then the "Active modes: " line when the cycle
    /// wrote one. This is what the committed golden files hold.
    std::string summary;
    /// Every request frame in full, one per line, in hexadecimal: for diffing two builds when the
    /// summaries disagree.
    std::string dump;
};

/// Builds the driven robot the way the roster does (second robot, standard mode set), configures
/// and starts it over socket-free channels answering from the world, and runs `Robot::Update`
/// for the world's cycles. The clock reads a simulated time that moves 5 ms per reading, so the
/// time stamps, and with them the requests, are the same on every run. Puts every process-wide
/// setting it touches back as it found it.
GoldenTrace RecordGoldenTrace(const GoldenWorld& world);

} // namespace botpilot::testing

#pragma once

#include <cstdint>
#include <string>

namespace botpilot {

/// The process-wide settings, filled from the command line before anything else runs.
struct Settings {
    /// Host of the simulation server: a dotted IPv4 address or a host name.
    std::string serverHost = "localhost";
    /// Port of the robot connection; the drawing connection uses the next one. Only the low
    /// 16 bits are used when connecting.
    std::int32_t serverPort = 9386;
    /// Run the built-in checks instead of connecting.
    bool selfTest = false;
    /// Send the danger map to the server's drawing port; the `d` key toggles it during a run.
    bool drawing = false;
    /// Cycles a second at most; 0 (or below) runs each cycle as soon as the last one ends, paced
    /// only by the server's replies. [Units: 1/s]
    std::int32_t cycleRate = 0;
};

/// The one settings object of the process.
Settings& ProcessSettings();

} // namespace botpilot

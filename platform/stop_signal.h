#pragma once

#include <csignal>

namespace botpilot {

/// While it lives, SIGINT and SIGTERM no longer kill the process: they only ask the run to end,
/// which the run notices between two steps (`StopRequested`). The previous handlers come back
/// when it is destroyed.
class StopSignalWatch {
  public:
    StopSignalWatch();
    ~StopSignalWatch();
    StopSignalWatch(const StopSignalWatch&) = delete;
    StopSignalWatch& operator=(const StopSignalWatch&) = delete;

    /// True once SIGINT or SIGTERM has arrived while a watch was active.
    static bool StopRequested();

  private:
    struct sigaction previousInterrupt {};
    struct sigaction previousTerminate {};
};

} // namespace botpilot

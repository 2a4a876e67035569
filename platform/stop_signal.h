#pragma once

namespace botpilot {

/// While it lives, the system's requests to end the program no longer end it: they only ask the
/// run to end, which the run notices between two steps (`StopRequested`). Those requests are
/// SIGINT and SIGTERM where there are signals; on Windows, Ctrl-C, Ctrl-Break and the closing of
/// the console window (for which the system waits a few seconds while the run ends). The
/// previous handling comes back when the last watch is destroyed.
class StopSignalWatch {
  public:
    StopSignalWatch();
    ~StopSignalWatch();
    StopSignalWatch(const StopSignalWatch&) = delete;
    StopSignalWatch& operator=(const StopSignalWatch&) = delete;

    /// True once a request to end has arrived while a watch was active.
    static bool StopRequested();
};

} // namespace botpilot

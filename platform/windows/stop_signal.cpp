#include "platform/stop_signal.h"

#include <atomic>
#include <windows.h>

namespace botpilot {

namespace {

std::atomic<bool> stopRequested{false};

// Watches may nest; the outermost installs the handler and removes it again.
int activeWatches = 0;

/// Windows ends a process this long after its console window is closed, whatever the handler
/// does; the handler gives the run nearly all of it. [Units: ms]
constexpr DWORD kCloseGraceMilliseconds = 4500;

// Called on a thread of its own that the system starts for the event.
BOOL WINAPI RequestStop(DWORD event) {
    stopRequested = true;
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        // The window closes, the user logs off or the system shuts down: the process ends as
        // soon as this handler returns, so it holds on while the run ends by itself; the run's
        // own exit ends this thread with the process.
        Sleep(kCloseGraceMilliseconds);
    }
    return TRUE;
}

} // namespace

StopSignalWatch::StopSignalWatch() {
    if (activeWatches++ == 0) {
        SetConsoleCtrlHandler(RequestStop, TRUE);
    }
}

StopSignalWatch::~StopSignalWatch() {
    if (--activeWatches == 0) {
        SetConsoleCtrlHandler(RequestStop, FALSE);
    }
}

bool StopSignalWatch::StopRequested() {
    return stopRequested;
}

} // namespace botpilot

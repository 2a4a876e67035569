#include "platform/stop_signal.h"

#include <csignal>

namespace botpilot {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

// Watches may nest; the outermost installs the handler and restores what was there before.
int activeWatches = 0;
struct sigaction previousInterrupt {};
struct sigaction previousTerminate {};

extern "C" void RequestStop(int) {
    stopRequested = 1;
}

} // namespace

StopSignalWatch::StopSignalWatch() {
    if (activeWatches++ > 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    // Interrupted waits are resumed by the socket layer, so no SA_RESTART is needed; the request
    // is noticed when the exchange in progress completes.
    sigaction(SIGINT, &action, &previousInterrupt);
    sigaction(SIGTERM, &action, &previousTerminate);
}

StopSignalWatch::~StopSignalWatch() {
    if (--activeWatches > 0) {
        return;
    }
    sigaction(SIGINT, &previousInterrupt, nullptr);
    sigaction(SIGTERM, &previousTerminate, nullptr);
}

bool StopSignalWatch::StopRequested() {
    return stopRequested != 0;
}

} // namespace botpilot

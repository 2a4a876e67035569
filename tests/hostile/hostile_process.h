#pragma once

#include "tests/support/child_process.h"

#include <cstdint>
#include <functional>
#include <string>

namespace botpilot::testing {

/// The most memory the client may take against a hostile server. [Units: MiB]
constexpr int kClientMemoryLimitMiB = 256;

/// How one run of the client ended, and how long it took.
struct ClientRun {
    ChildResult result;
    double seconds = 0.0; ///< wall-clock time from start to end [Units: s]
};

/// Runs the real client against 127.0.0.1:port with closed input, under the memory limit: an
/// address-space limit of kClientMemoryLimitMiB, or, in a build with AddressSanitizer (whose
/// shadow memory alone exceeds any such limit), the sanitizer's own resident-memory and
/// allocation caps at the same figure. `whileRunning` gets the client's process id.
ClientRun RunClientAgainst(std::uint16_t port,
                           const std::function<void(int processId)>& whileRunning = nullptr);

/// Resets the connection this process accepted on `localPort` (an abortive close: the peer
/// sees a reset, not an end of stream). The socket's descriptor is left pointing at
/// /dev/null, so its owner may still close it as usual.
void ResetAcceptedConnection(std::uint16_t localPort);

} // namespace botpilot::testing

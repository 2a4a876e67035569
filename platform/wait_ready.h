#pragma once

#include "platform/socket_handle.h"
#include "platform/steady_time.h"

namespace botpilot {

enum class WaitFor { Read, Write };
enum class WaitResult { Ready, TimedOut, Failed };

/// Waits until the socket is ready or the deadline passes; an interrupted wait is resumed with
/// the time that is left. A hang-up or error counts as ready, so that the following call reports
/// it; for a connect under way, ready to write means it has ended, one way or the other.
WaitResult WaitReady(SocketHandle socket, WaitFor what, const Deadline& deadline);

} // namespace botpilot

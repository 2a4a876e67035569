#pragma once

#include "platform/byte_stream.h"
#include "platform/socket_handle.h"
#include "platform/steady_time.h"

#include <optional>

namespace botpilot {

enum class WaitFor { Read, Write };
enum class WaitResult { Ready, TimedOut, Failed };

/// Waits until the socket is ready or the deadline passes; an interrupted wait is resumed with
/// the time that is left. A hang-up or error counts as ready, so that the following call reports
/// it; for a connect under way, ready to write means it has ended, one way or the other.
WaitResult WaitReady(SocketHandle socket, WaitFor what, const Deadline& deadline);

/// Waits until a transfer can be tried: nothing then, else the transfer's result (timed out or
/// failed).
std::optional<IoResult> WaitToTransfer(SocketHandle socket, WaitFor what, const Deadline& deadline);

} // namespace botpilot

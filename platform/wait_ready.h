#pragma once

#include "platform/steady_time.h"

namespace botpilot {

enum class WaitFor { Read, Write };
enum class WaitResult { Ready, TimedOut, Failed };

/// Waits until the descriptor is ready or the deadline passes; an interrupted wait is resumed
/// with the time that is left. A hang-up or error counts as ready, so that the following call
/// reports it.
WaitResult WaitReady(int descriptor, WaitFor what, const Deadline& deadline);

} // namespace botpilot

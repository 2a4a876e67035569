#pragma once

#include "platform/keyboard.h"

namespace botpilot {

/// The control run: connects to the server and drives the robot until a key other than `d`
/// ends it. Errors propagate to the entry.
void RunControl(Keyboard& keyboard);

} // namespace botpilot

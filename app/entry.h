#pragma once

#include "platform/keyboard.h"

namespace botpilot {

/// The program: reads the command line into the process settings, then runs the self-test or
/// the control run. Every error ends here: its text goes to standard error, a key is awaited
/// and the result is 1. The result is 0 only when the control run ended by a key, the server
/// answered that its battle is over ("Battle over: ..."), or every self-test check passed.
int RunEntry(int argc, const char* const argv[], Keyboard& keyboard);

} // namespace botpilot

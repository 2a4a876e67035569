#pragma once

#include <functional>
#include <string>
#include <vector>

namespace botpilot::testing {

struct ChildResult {
    bool exited = false;   ///< ended by returning or calling exit
    int exitStatus = -1;   ///< when exited
    int signalNumber = 0;  ///< when killed by a signal
    bool timedOut = false; ///< killed because it ran past its time
    std::string out;       ///< everything written to standard output
    std::string err;       ///< everything written to standard error
};

/// Runs a program with the given arguments (the first is the program's path), feeding it
/// `input` on standard input followed by end of input (an empty input is like /dev/null).
/// Kills it after `timeoutSeconds`. `whileRunning`, when given, is called with the child's
/// process id once its input is written, before its output is collected (a child that writes
/// more than a pipe holds must not be kept waiting there).
ChildResult RunChild(const std::vector<std::string>& arguments, const std::string& input = "",
                     double timeoutSeconds = 20.0,
                     const std::function<void(int processId)>& whileRunning = nullptr);

/// From RunChild's `whileRunning`, asks the child to end: SIGTERM where there are signals; on
/// Windows, where a test has no console to send a Ctrl-Break through, a key ('q') on its input.
/// False when it could not be delivered.
bool AskChildToStop(int processId);

} // namespace botpilot::testing

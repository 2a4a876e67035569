#pragma once

#include <string>
#include <vector>

namespace botpilot::testing {

struct ChildResult {
    bool exited = false;    ///< ended by returning or calling exit
    int exitStatus = -1;    ///< when exited
    int signalNumber = 0;   ///< when killed by a signal
    bool timedOut = false;  ///< killed because it ran past its time
    std::string out;        ///< everything written to standard output
    std::string err;        ///< everything written to standard error
};

/// Runs a program with the given arguments (the first is the program's path), feeding it
/// `input` on standard input followed by end of input (an empty input is like /dev/null).
/// Kills it after `timeoutSeconds`.
ChildResult RunChild(const std::vector<std::string>& arguments, const std::string& input = "",
                     double timeoutSeconds = 20.0);

} // namespace botpilot::testing

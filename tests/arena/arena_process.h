#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace botarena::testing {

/// The arena as a child process in the background: its standard output is read by the test
/// (the first line names the ports), its standard error goes to a file. The destructor kills
/// it if it is still running.
class ArenaProcess {
  public:
    /// Starts the program (the first argument is its path); standard input is empty.
    ArenaProcess(const std::vector<std::string>& arguments, const std::string& errorLogPath);
    ~ArenaProcess();
    ArenaProcess(const ArenaProcess&) = delete;
    ArenaProcess& operator=(const ArenaProcess&) = delete;

    /// The first line of standard output without its newline; nothing when the program ends
    /// or the time runs out first. [Units: s]
    std::optional<std::string> ReadFirstLine(double timeoutSeconds);

    /// Waits for the program to end and returns its exit status, or nothing when it ran past
    /// the time (it is then killed) or died by a signal. [Units: s]
    std::optional<int> Wait(double timeoutSeconds);

    /// Everything read from standard output so far, after the first line.
    const std::string& Output() const { return output; }

  private:
    /// Reads what is available until `stop` says enough or the time runs out; false when the
    /// time ran out.
    template <typename Stop> bool ReadUntil(Stop stop, double timeoutSeconds);

    pid_t child = -1;
    int outFd = -1;
    bool outputEnded = false;
    std::string buffer; ///< standard output not yet handed out
    std::string output;
};

/// The port named after "port " in the arena's first line; 0 when there is none.
int PortFromFirstLine(const std::string& line);

} // namespace botarena::testing

#pragma once

#include <string>

namespace botpilot::testing {

/// For its lifetime, the process's standard input is the reading end of a pipe whose writing end
/// the test holds: keys typed into a console are bytes written here.
class StandardInputPipe {
  public:
    StandardInputPipe();
    ~StandardInputPipe();
    StandardInputPipe(const StandardInputPipe&) = delete;
    StandardInputPipe& operator=(const StandardInputPipe&) = delete;

    void Write(const std::string& bytes);
    /// Ends the input, as a closed pipe or the end of a file does.
    void CloseWriter();

  private:
    // Descriptors or handles, whichever the system has, stored wide enough for either.
    long long savedInput = -1;
    long long reader = -1;
    long long writer = -1;
};

} // namespace botpilot::testing

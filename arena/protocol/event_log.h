#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace botarena {

/// One line per event on a stream (standard error in the arena), each stamped with the
/// seconds since the battle began.
class EventLog {
  public:
    /// `out` must outlive the log; `clock` gives the stamp. [Units: s]
    EventLog(std::ostream& out, std::function<double()> clock)
        : out(out), clock(std::move(clock)) {}

    void Line(const std::string& text);

  private:
    std::ostream& out;
    std::function<double()> clock;
};

} // namespace botarena

#pragma once

#include "platform/steady_time.h"

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace botpilot {

/// The figures of one timed section and of the sections that ran inside it.
struct TimerRecord {
    std::string name;
    /// Seconds spent in the section; for a merged child, summed over its runs. [Units: s]
    double time = 0.0;
    /// How many runs the figures cover.
    std::int32_t calls = 0;
    /// One entry per distinct child name, in byte-wise name order.
    std::map<std::string, std::unique_ptr<TimerRecord>> children;
};

/// Adds `record` into `parent`'s child of the same name (created empty when missing): times and
/// calls are summed, and the record's own children likewise, level by level.
void MergeTimerRecord(TimerRecord& parent, const TimerRecord& record);

/// Writes one line per record, children in name order, each level indented by two more spaces:
/// indent, name, time (six significant digits, no separator before it), " ", and
/// "[<calls> calls]" when calls > 1.
void WriteTimerReport(std::ostream& out, const TimerRecord& record, const std::string& indent);

/// A scoped timed section, named after the class and operation it times
/// ("PathChooser::Choose", or "Robot::UpdateCurrentModes - " and a mode's name). Nested sections
/// form a tree; when an outermost section closes, its tree is written to standard error.
/// The timer's switch is off in the program: then a section is an empty object that reads no
/// clock and writes nothing. Sections must close in reverse order of opening, as scoped objects
/// do; single-threaded.
class Timer {
  public:
    explicit Timer(std::string_view name);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

  private:
    Timer* enclosing = nullptr;
    double start = 0.0; ///< [Units: s]
    TimerRecord record;
};

/// Whether the timer's switch is on. Nothing in the program turns it on.
bool TimerEnabled();

/// The timer's time source. [Units: s]
using TimerClock = double (*)();

/// For tests only: turns the switch on, with reports going to `report` (which must outlive the
/// switch being on) and times read from `now`.
void EnableTimerForTesting(std::ostream& report, TimerClock now = &SteadySeconds);

/// For tests only: turns the switch off again; reports go back to standard error. Must not be
/// called while a section is open.
void DisableTimerForTesting();

/// The built-in check of the timer: nests "Inner" (with "Inner2") three times in "Outer",
/// sleeping 20 ms in each "Inner" while the switch is on. It asserts nothing.
void TestTimer();

} // namespace botpilot

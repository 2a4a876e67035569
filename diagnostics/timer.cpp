#include "diagnostics/timer.h"

#include <cassert>
#include <iostream>
#include <ostream>

namespace botpilot {

namespace {

// The timer's process-wide state: single-threaded, so no lock guards it.
struct TimerState {
    bool enabled = false;           // nothing in the program sets it; only tests do
    Timer* innermost = nullptr;     // head of the chain of open sections
    std::ostream* report = nullptr; // null: standard error
    TimerClock now = &SteadySeconds;
};

TimerState& State() {
    static TimerState state;
    return state;
}

} // namespace

void MergeTimerRecord(TimerRecord& parent, const TimerRecord& record) {
    std::unique_ptr<TimerRecord>& child = parent.children[record.name];
    if (!child) {
        child = std::make_unique<TimerRecord>();
        child->name = record.name;
    }
    child->time += record.time;
    child->calls += record.calls;
    for (const auto& [name, grandchild] : record.children) {
        MergeTimerRecord(*child, *grandchild);
    }
}

void WriteTimerReport(std::ostream& out, const TimerRecord& record, const std::string& indent) {
    // No separator between name and time: the report's established form.
    out << indent << record.name << record.time << " ";
    if (record.calls > 1) {
        out << "[" << record.calls << " calls]";
    }
    out << std::endl;
    const std::string childIndent = indent + "  ";
    for (const auto& [name, child] : record.children) {
        WriteTimerReport(out, *child, childIndent);
    }
}

Timer::Timer(std::string_view name) {
    TimerState& state = State();
    // Switched off, a section is an empty record: no clock read, no allocation.
    if (!state.enabled) {
        return;
    }
    enclosing = state.innermost;
    record.name = name;
    record.calls = 1;
    start = state.now();
    state.innermost = this;
}

Timer::~Timer() {
    // A section opened with the switch off holds an empty record (0 calls) and ends here.
    if (record.calls == 0) {
        return;
    }
    TimerState& state = State();
    assert(state.innermost == this && "timed sections must close in reverse order of opening");
    // Assigned, not added: this record covers exactly one run.
    record.time = state.now() - start;
    if (enclosing != nullptr) {
        MergeTimerRecord(enclosing->record, record);
    } else {
        WriteTimerReport(state.report != nullptr ? *state.report : std::cerr, record, "");
    }
    state.innermost = enclosing;
}

bool TimerEnabled() {
    return State().enabled;
}

void EnableTimerForTesting(std::ostream& report, TimerClock now) {
    TimerState& state = State();
    assert(state.innermost == nullptr);
    state.enabled = true;
    state.report = &report;
    state.now = now;
}

void DisableTimerForTesting() {
    TimerState& state = State();
    assert(state.innermost == nullptr);
    state.enabled = false;
    state.report = nullptr;
    state.now = &SteadySeconds;
}

void TestTimer() {
    constexpr int kInnerMilliseconds = 20;
    constexpr int kInnerRuns = 3;
    Timer outer("Outer");
    for (int run = 0; run < kInnerRuns; ++run) {
        Timer inner("Inner");
        if (TimerEnabled()) {
            SleepMilliseconds(kInnerMilliseconds);
        }
        Timer inner2("Inner2");
    }
}

} // namespace botpilot

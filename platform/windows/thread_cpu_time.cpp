#include "platform/thread_cpu_time.h"

#include <windows.h>

namespace botpilot {

namespace {

/// A FILETIME counts 100 ns steps. [Units: s]
double Seconds(const FILETIME& time) {
    const ULONGLONG steps =
        (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(steps) * 1e-7;
}

} // namespace

double ThreadCpuSeconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user) == 0) {
        return 0.0;
    }
    return Seconds(kernel) + Seconds(user);
}

} // namespace botpilot

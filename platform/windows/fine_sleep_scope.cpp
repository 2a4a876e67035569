#include "platform/fine_sleep_scope.h"

// The timer functions' header needs the types of windows.h before it.
// clang-format off
#include <windows.h>
#include <timeapi.h>
// clang-format on

namespace botpilot {

namespace {

/// The finest period every Windows timer offers. [Units: ms]
constexpr UINT kFinestPeriodMilliseconds = 1;

} // namespace

// Each begin is matched by one end, as the system asks. A refused request only leaves the sleeps
// as coarse as they were.
FineSleepScope::FineSleepScope() {
    timeBeginPeriod(kFinestPeriodMilliseconds);
}

FineSleepScope::~FineSleepScope() {
    timeEndPeriod(kFinestPeriodMilliseconds);
}

} // namespace botpilot

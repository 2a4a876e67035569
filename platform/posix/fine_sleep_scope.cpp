#include "platform/fine_sleep_scope.h"

namespace botpilot {

// The timers here are fine already: a sleep ends within microseconds of its time.
FineSleepScope::FineSleepScope() = default;
FineSleepScope::~FineSleepScope() = default;

} // namespace botpilot

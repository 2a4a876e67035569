#include "robot/mode_sets.h"

namespace botpilot {

// The concrete modes are not built yet: until then every personality drives nothing.

void AddStandardModeSet(Robot& /*robot*/) {}

void AddTestModeSet(Robot& /*robot*/) {}

} // namespace botpilot

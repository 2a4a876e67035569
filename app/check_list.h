#pragma once

#include "diagnostics/check_registry.h"

namespace botpilot {

/// Every built-in check, in the one order in which the self-test runs them.
CheckRegistry BuiltInChecks();

} // namespace botpilot

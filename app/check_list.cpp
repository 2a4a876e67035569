#include "app/check_list.h"

namespace botpilot {

CheckRegistry BuiltInChecks() {
    CheckRegistry registry;
    // The order is part of the self-test's output: keep this list in it.
    registry.Register("TestTheTester", &TestTheTester);
    return registry;
}

} // namespace botpilot

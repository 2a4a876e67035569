#include "diagnostics/expect_equal.h"

#include <sstream>
#include <string>

namespace botpilot {

namespace {

template <typename Value> [[noreturn]] void ThrowMismatch(Value expected, Value actual) {
    std::ostringstream text;
    text << "Expected: " << expected << ", Actual: " << actual;
    throw text.str();
}

} // namespace

void ExpectEqual(double expected, double actual) {
    ThrowMismatch(expected, actual);
}

void ExpectEqual(bool expected, bool actual) {
    ThrowMismatch(expected, actual);
}

} // namespace botpilot

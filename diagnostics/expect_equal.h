#pragma once

namespace botpilot {

// Used by a check after its own comparison has failed: each throws the std::string
// "Expected: <expected>, Actual: <actual>" in default stream formatting (six significant digits
// for doubles, 1 and 0 for booleans).

[[noreturn]] void ExpectEqual(double expected, double actual);
[[noreturn]] void ExpectEqual(bool expected, bool actual);

} // namespace botpilot

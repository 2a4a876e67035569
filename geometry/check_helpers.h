#pragma once

// Comparisons for the built-in checks of this folder: each throws through `ExpectEqual` when its
// comparison fails.

#include "diagnostics/expect_equal.h"

#include <cmath>

namespace botpilot::checks {

/// The tolerance of the checks' floating-point comparisons.
inline constexpr double kCheckTolerance = 0.0001;

/// Passes when |expected − actual| <= tolerance; a NaN fails.
inline void ExpectNear(double expected, double actual, double tolerance = kCheckTolerance) {
    if (!(std::abs(expected - actual) <= tolerance)) {
        ExpectEqual(expected, actual);
    }
}

inline void ExpectExactly(double expected, double actual) {
    if (!(expected == actual)) {
        ExpectEqual(expected, actual);
    }
}

inline void ExpectBool(bool expected, bool actual) {
    if (expected != actual) {
        ExpectEqual(expected, actual);
    }
}

} // namespace botpilot::checks

#pragma once

namespace botpilot {

/// A pair of doubles: a position (playing-field units), a velocity (units per second) or a point
/// of a path.
struct Point {
    double x = 0.0;
    double y = 0.0;
};

} // namespace botpilot

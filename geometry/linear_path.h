#pragma once

#include "geometry/path.h"
#include "geometry/point.h"

namespace botpilot {

/// A point moving in a straight line at constant velocity. A copyable value.
class LinearPath final : public Path {
  public:
    /// A path resting at the origin.
    LinearPath() = default;

    /// Starts at (x, y) at t = 0 and moves by (dx, dy) per unit of t (per second when t is
    /// seconds).
    LinearPath(double x, double y, double dx, double dy) : start{x, y}, direction{dx, dy} {}

    /// (x + t·dx, y + t·dy), for any t: a negative t runs backwards along the line.
    Point PointAt(double t) const override;

    Point Start() const { return start; }
    Point Direction() const { return direction; }

  private:
    Point start;
    Point direction;
};

} // namespace botpilot

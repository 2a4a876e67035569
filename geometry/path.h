#pragma once

#include "geometry/point.h"

namespace botpilot {

/// A motion plan: maps a parameter t (normally seconds from the start) to a point of the plane.
class Path {
  public:
    virtual ~Path() = default;

    /// The point at parameter t; not kept inside the playing field.
    virtual Point PointAt(double t) const = 0;

  protected:
    // Paths are copied as their concrete type only, never through the interface.
    Path() = default;
    Path(const Path&) = default;
    Path& operator=(const Path&) = default;
};

} // namespace botpilot

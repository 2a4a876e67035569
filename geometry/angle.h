#pragma once

namespace botpilot {

/// The one value of π in the program; every multiple of π is computed from it.
inline constexpr double kPi = 3.141592653589793;

/// A direction in radians, measured from +x towards +y as atan2(dy, dx) measures it: a heading h
/// points along (cos h, sin h). The number is stored unchanged; `Normalise` brings it into
/// (−π, π] when a caller needs the canonical form.
class Angle {
  public:
    /// Stores the value unchanged. Implicit, so that radians can be passed where an angle is
    /// expected. [Units: rad]
    Angle(double radians = 0.0) : radians(radians) {}

    /// The stored value, as it was given. [Units: rad]
    double Radians() const { return radians; }

    /// The same direction in (−π, π]; −π comes back as +π.
    Angle Normalise() const;

    /// x + 2π when x < 0, else x. Lands in [0, 2π) only for a normalised input. [Units: rad]
    static double ToPositiveRadians(double x);

    /// Whether the shorter arc from this angle to `other` passes the ±π line. Angles exactly at π,
    /// or exactly π apart, never count as crossing.
    bool CrossesBoundary(Angle other) const;

    /// The angle at position x when it runs from a0 at x0 to a1 at x1 along the shorter arc, held
    /// at the end values outside [x0, x1]. Not normalised: in [0, 2π) when the arc crosses the
    /// ±π line, otherwise between the stored values. [Units: rad]
    static double AngleAtFraction(double x0, Angle a0, double x1, Angle a1, double x);

    /// The value at angle a when it runs from y0 at a0 to y1 at a1 along the shorter arc, held at
    /// the end values beyond them. The query angle is expected normalised.
    static double ValueAtAngle(Angle a0, double y0, Angle a1, double y1, Angle a);

  private:
    double radians = 0.0;
};

} // namespace botpilot

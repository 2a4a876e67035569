#include "geometry/angle.h"

#include "geometry/interpolation.h"

#include <cmath>

namespace botpilot {

namespace {

// Beyond this magnitude stepping by whole turns would take many steps, and far beyond it a step
// of 2π is lost to rounding (at 1e17 one unit in the last place is 16), so the loops would never
// end. Such inputs are first reduced with fmod, which is exact; smaller ones keep the stepping,
// whose results callers and checks rely on bit for bit. [Units: rad]
constexpr double kSteppingLimit = 1024.0 * kPi;

} // namespace

Angle Angle::Normalise() const {
    const double turn = 2.0 * kPi;
    double a = radians;
    if (std::abs(a) > kSteppingLimit) {
        a = std::fmod(a, turn); // infinity becomes NaN here instead of stepping for ever
    }
    while (a < -kPi) {
        a += turn;
    }
    while (a > kPi) {
        a -= turn;
    }
    if (a == -kPi) {
        a = kPi;
    }
    return Angle(a);
}

double Angle::ToPositiveRadians(double x) {
    return x < 0.0 ? x + 2.0 * kPi : x;
}

bool Angle::CrossesBoundary(Angle other) const {
    const double p = ToPositiveRadians(radians);
    const double q = ToPositiveRadians(other.radians);
    const double lo = p < q ? p : q;
    const double hi = p > q ? p : q;
    // All strict: an angle exactly at π, or two angles exactly π apart, do not cross.
    return lo < kPi && hi > kPi && hi - lo < kPi;
}

double Angle::AngleAtFraction(double x0, Angle a0, double x1, Angle a1, double x) {
    if (a0.CrossesBoundary(a1)) {
        // On the [0, 2π) axis the two ends are adjacent across the ±π line.
        return BoundedLinearInterpolate(x0, ToPositiveRadians(a0.radians), x1,
                                        ToPositiveRadians(a1.radians), x);
    }
    // Deliberately the stored values, not normalised: from −π to −π/2 the middle is −0.75π.
    return BoundedLinearInterpolate(x0, a0.radians, x1, a1.radians, x);
}

double Angle::ValueAtAngle(Angle a0, double y0, Angle a1, double y1, Angle a) {
    if (a0.CrossesBoundary(a1)) {
        // All three angles on the same [0, 2π) axis.
        return BoundedLinearInterpolate(ToPositiveRadians(a0.radians), y0,
                                        ToPositiveRadians(a1.radians), y1,
                                        ToPositiveRadians(a.radians));
    }
    return BoundedLinearInterpolate(a0.Normalise().radians, y0, a1.Normalise().radians, y1,
                                    a.radians);
}

} // namespace botpilot

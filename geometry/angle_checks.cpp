// Built-in checks of angles and interpolation.

#include "geometry/angle.h"
#include "geometry/check_helpers.h"
#include "geometry/geometry_checks.h"
#include "geometry/interpolation.h"

namespace botpilot {

using checks::ExpectBool;
using checks::ExpectExactly;
using checks::ExpectNear;

void TestAngle() {
    ExpectExactly(0.0, Angle(0.0).Normalise().Radians());
    ExpectNear(2.1, Angle(2.1).Normalise().Radians());
    const Angle beyond(kPi + 1.0);
    ExpectExactly(kPi + 1.0, beyond.Radians()); // stored unchanged until normalised
    ExpectNear(-(kPi - 1.0), beyond.Normalise().Radians());
    ExpectExactly(kPi, Angle(-kPi).Normalise().Radians());
    ExpectNear(90.0, 282.74328 / kPi);
}

void TestToPositiveRadians() {
    ExpectExactly(0.0, Angle::ToPositiveRadians(0.0));
    ExpectNear(2.0 * kPi - 0.5, Angle::ToPositiveRadians(-0.5));
}

void TestAngleCrossesBoundary() {
    const Angle from(0.5);
    ExpectBool(false, from.CrossesBoundary(-0.5));
    ExpectBool(false, from.CrossesBoundary(kPi - 0.1));
    ExpectBool(true, from.CrossesBoundary(-(kPi - 0.1)));
}

void TestAngleLinearInterpolate() {
    ExpectNear(7.5, Angle::ValueAtAngle(0.0, 5.0, kPi / 2.0, 10.0, kPi / 4.0));
    ExpectNear(7.5, Angle::ValueAtAngle(0.0, 5.0, -kPi / 2.0, 10.0, -kPi / 4.0));
    ExpectNear(7.5, Angle::ValueAtAngle(-0.75 * kPi, 5.0, 0.75 * kPi, 10.0, kPi));

    ExpectNear(kPi / 4.0, Angle::AngleAtFraction(0.0, 0.0, 1.0, kPi / 2.0, 0.5));
    ExpectNear(-kPi / 4.0, Angle::AngleAtFraction(0.0, 0.0, 1.0, -kPi / 2.0, 0.5));
    ExpectNear(kPi, Angle::AngleAtFraction(0.0, -0.75 * kPi, 1.0, 0.75 * kPi, 0.5));
    ExpectNear(0.75 * kPi, Angle::AngleAtFraction(0.0, kPi, 1.0, kPi / 2.0, 0.5));
    ExpectNear(-0.75 * kPi, Angle::AngleAtFraction(0.0, -kPi, 1.0, -kPi / 2.0, 0.5));
}

void TestLinearInterpolate() {
    ExpectNear(6.0, LinearInterpolate(1.0, 2.0, 5.0, 10.0, 3.0));
    ExpectNear(BoundedLinearInterpolate(1.0, 2.0, 5.0, 10.0, 3.0),
               LinearInterpolate(1.0, 2.0, 5.0, 10.0, 3.0));
    // Beyond the ends the line goes on.
    ExpectNear(-20.0, LinearInterpolate(1.0, 2.0, 5.0, 10.0, -10.0));
    ExpectNear(40.0, LinearInterpolate(1.0, 2.0, 5.0, 10.0, 20.0));
}

void TestBoundedLinearInterpolate() {
    ExpectNear(6.0, BoundedLinearInterpolate(1.0, 2.0, 5.0, 10.0, 3.0));
    ExpectNear(2.0, BoundedLinearInterpolate(1.0, 2.0, 5.0, 10.0, -10.0));
    ExpectNear(10.0, BoundedLinearInterpolate(1.0, 2.0, 5.0, 10.0, 20.0));
    ExpectNear(6.0, BoundedLinearInterpolate(1.0, 10.0, 5.0, 2.0, 3.0));
    ExpectNear(10.0, BoundedLinearInterpolate(1.0, 10.0, 5.0, 2.0, -10.0));
    ExpectNear(2.0, BoundedLinearInterpolate(1.0, 10.0, 5.0, 2.0, 20.0));
}

} // namespace botpilot

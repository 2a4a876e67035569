#pragma once

#include <algorithm>
#include <cmath>

namespace botarena {

/// The one value of pi the arena computes its angles from.
constexpr double kPi = 3.141592653589793;

/// [Units: radians per degree]
constexpr double kRadiansPerDegree = kPi / 180.0;

/// The same direction in (-pi, pi]; -pi itself becomes +pi. Uses a remainder rather than a loop
/// of whole turns, so an absurd value sent over the network (1e300) costs no more than 0.5.
/// A non-finite input stays non-finite; callers check finiteness at the network boundary.
inline double NormaliseRadians(double angle) {
    double a = std::remainder(angle, 2.0 * kPi);
    if (a <= -kPi) {
        a += 2.0 * kPi;
    }
    return a;
}

/// Turns `from` toward `to` by at most `maxStep` radians the shorter way (a half turn goes
/// counter-clockwise). Returns the normalised result. [Limit: maxStep >= 0]
inline double TurnToward(double from, double to, double maxStep) {
    const double delta = NormaliseRadians(NormaliseRadians(to) - NormaliseRadians(from));
    if (std::fabs(delta) <= maxStep) {
        return NormaliseRadians(to);
    }
    return NormaliseRadians(from + std::copysign(maxStep, delta));
}

/// sin(x) / x, with its limit 1 at 0.
inline double Sinc(double x) {
    return std::fabs(x) < 1e-9 ? 1.0 - x * x / 6.0 : std::sin(x) / x;
}

} // namespace botarena

#pragma once

namespace botpilot {

/// The straight line through (x0, y0) and (x1, y1) at x, extrapolated beyond the ends.
/// With x0 = x1 = x the line is undefined and the result is y0.
inline double LinearInterpolate(double x0, double y0, double x1, double y1, double x) {
    if (x0 == x1 && x == x0) {
        return y0; // 0/0: any end value would do; no caller relies on it
    }
    return y0 + (x - x0) * (y1 - y0) / (x1 - x0);
}

/// As `LinearInterpolate`, but held at the end values outside [x0, x1] (either order of x0, x1).
/// With x0 = x1 = x the result is y0. Inline, as the path code calls it at every point it
/// samples.
inline double BoundedLinearInterpolate(double x0, double y0, double x1, double y1, double x) {
    if (x0 < x1) {
        if (x < x0) {
            return y0;
        }
        if (x > x1) {
            return y1;
        }
    } else {
        if (x < x1) {
            return y1;
        }
        if (x > x0) {
            return y0;
        }
    }
    // Points exactly at an end take the formula too, which yields that end's value.
    return LinearInterpolate(x0, y0, x1, y1, x);
}

/// amplitude · exp(−d² / (2·sigma²)): the fall-off of every hill and wall. Even in d.
/// [Limit: sigma > 0]
double Gaussian(double d, double amplitude, double sigma);

/// A Gaussian ridge along the segment (x0, y0)–(x1, y1), evaluated at (px, py): the distance is
/// to the nearest point of the segment, and the crest runs linearly from w0 at the first end to
/// w1 at the second. A zero-length segment is a single hill of the larger weight.
/// [Limit: sigma > 0]
double SegmentGaussian(double px, double py, double x0, double y0, double w0, double x1, double y1,
                       double w1, double sigma);

/// The ridge of `SegmentGaussian` along one segment, with what depends on the segment alone
/// (its direction and length, the weights' difference, the width term) worked out once, for a
/// ridge evaluated at many points. `Height` gives exactly, bit for bit, what `SegmentGaussian`
/// gives for the same segment: `SegmentGaussian` is computed through it.
class SegmentRidge {
  public:
    /// [Limit: sigma > 0]
    SegmentRidge(double x0, double y0, double w0, double x1, double y1, double w1, double sigma);

    /// The ridge's value at (px, py).
    double Height(double px, double py) const;

  private:
    double x0;
    double y0;
    double w0;
    double x1;
    double y1;
    double w1;
    double ex;              ///< x1 − x0
    double ey;              ///< y1 − y0
    double length;          ///< of the segment
    double lengthSquared;   ///< length · length, as the foot of the perpendicular divides by it
    double weightRise;      ///< w1 − w0
    double twoSigmaSquared; ///< 2 · sigma · sigma
};

} // namespace botpilot

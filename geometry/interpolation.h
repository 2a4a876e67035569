#pragma once

namespace botpilot {

/// The straight line through (x0, y0) and (x1, y1) at x, extrapolated beyond the ends.
/// With x0 = x1 = x the line is undefined and the result is y0.
double LinearInterpolate(double x0, double y0, double x1, double y1, double x);

/// As `LinearInterpolate`, but held at the end values outside [x0, x1] (either order of x0, x1).
/// With x0 = x1 = x the result is y0.
double BoundedLinearInterpolate(double x0, double y0, double x1, double y1, double x);

/// amplitude · exp(−d² / (2·sigma²)): the fall-off of every hill and wall. Even in d.
/// [Limit: sigma > 0]
double Gaussian(double d, double amplitude, double sigma);

/// A Gaussian ridge along the segment (x0, y0)–(x1, y1), evaluated at (px, py): the distance is
/// to the nearest point of the segment, and the crest runs linearly from w0 at the first end to
/// w1 at the second. A zero-length segment is a single hill of the larger weight.
/// [Limit: sigma > 0]
double SegmentGaussian(double px, double py, double x0, double y0, double w0, double x1, double y1,
                       double w1, double sigma);

} // namespace botpilot

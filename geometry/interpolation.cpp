#include "geometry/interpolation.h"

#include <cmath>

namespace botpilot {

double Gaussian(double d, double amplitude, double sigma) {
    return amplitude * std::exp(-(d * d) / (sigma * sigma * 2.0));
}

double SegmentGaussian(double px, double py, double x0, double y0, double w0, double x1, double y1,
                       double w1, double sigma) {
    return SegmentRidge(x0, y0, w0, x1, y1, w1, sigma).Height(px, py);
}

// Each precomputed term is the very expression the per-point formula would evaluate, so the
// results do not change by a bit.
SegmentRidge::SegmentRidge(double x0, double y0, double w0, double x1, double y1, double w1,
                           double sigma)
    : x0(x0), y0(y0), w0(w0), x1(x1), y1(y1), w1(w1), ex(x1 - x0), ey(y1 - y0),
      length(std::sqrt(ex * ex + ey * ey)), lengthSquared(length * length), weightRise(w1 - w0),
      twoSigmaSquared(2.0 * sigma * sigma) {}

double SegmentRidge::Height(double px, double py) const {
    double distance = 0.0;
    double weight = 0.0;
    if (length == 0.0) {
        distance = std::hypot(px - x0, py - y0);
        weight = w0 > w1 ? w0 : w1;
    } else {
        // Position of the foot of the perpendicular: 0 at the first end, 1 at the second.
        const double u = ((px - x0) * ex + (py - y0) * ey) / lengthSquared;
        if (u < 0.0) {
            distance = std::hypot(px - x0, py - y0);
            weight = w0;
        } else if (u > 1.0) {
            distance = std::hypot(px - x1, py - y1);
            weight = w1;
        } else {
            distance = std::hypot(px - (x0 + u * ex), py - (y0 + u * ey));
            weight = w0 + u * weightRise;
        }
    }
    return weight * std::exp(-(distance * distance) / twoSigmaSquared);
}

} // namespace botpilot

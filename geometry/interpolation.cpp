#include "geometry/interpolation.h"

#include <cmath>

namespace botpilot {

double LinearInterpolate(double x0, double y0, double x1, double y1, double x) {
    if (x0 == x1 && x == x0) {
        return y0; // 0/0: any end value would do; no caller relies on it
    }
    return y0 + (x - x0) * (y1 - y0) / (x1 - x0);
}

double BoundedLinearInterpolate(double x0, double y0, double x1, double y1, double x) {
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

double Gaussian(double d, double amplitude, double sigma) {
    return amplitude * std::exp(-(d * d) / (sigma * sigma * 2.0));
}

double SegmentGaussian(double px, double py, double x0, double y0, double w0, double x1, double y1,
                       double w1, double sigma) {
    const double ex = x1 - x0;
    const double ey = y1 - y0;
    const double length = std::sqrt(ex * ex + ey * ey);
    double distance = 0.0;
    double weight = 0.0;
    if (length == 0.0) {
        distance = std::hypot(px - x0, py - y0);
        weight = w0 > w1 ? w0 : w1;
    } else {
        // Position of the foot of the perpendicular: 0 at the first end, 1 at the second.
        const double u = ((px - x0) * ex + (py - y0) * ey) / (length * length);
        if (u < 0.0) {
            distance = std::hypot(px - x0, py - y0);
            weight = w0;
        } else if (u > 1.0) {
            distance = std::hypot(px - x1, py - y1);
            weight = w1;
        } else {
            distance = std::hypot(px - (x0 + u * ex), py - (y0 + u * ey));
            weight = w0 + u * (w1 - w0);
        }
    }
    return weight * std::exp(-(distance * distance) / (2.0 * sigma * sigma));
}

} // namespace botpilot

#pragma once

#include "geometry/feature.h"

namespace botpilot {

/// One round hill: `Gaussian` of the distance to its centre.
class GaussianFeature final : public Feature {
  public:
    /// Centre (x, y), the value at the centre, and the sigma of the fall-off.
    /// [Units: world units for x, y and width] [Limit: width > 0]
    GaussianFeature(double x, double y, double amplitude, double width)
        : x(x), y(y), amplitude(amplitude), width(width) {}

    double Height(double x, double y) const override;

  private:
    double x;
    double y;
    double amplitude;
    double width;
};

} // namespace botpilot

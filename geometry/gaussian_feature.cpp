#include "geometry/gaussian_feature.h"

#include "geometry/interpolation.h"

#include <cmath>

namespace botpilot {

double GaussianFeature::Height(double x, double y) const {
    return Gaussian(std::hypot(x - this->x, y - this->y), amplitude, width);
}

} // namespace botpilot

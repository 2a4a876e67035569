#include "geometry/linear_path.h"

namespace botpilot {

Point LinearPath::PointAt(double t) const {
    return {start.x + t * direction.x, start.y + t * direction.y};
}

} // namespace botpilot

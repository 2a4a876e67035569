#pragma once

#include <optional>

namespace botarena {

/// A point or a displacement on the field. [Units: field units]
struct Vec2 {
    double x = 0.0;
    double y = 0.0;
};

/// The field, centred on the origin.
struct FieldSize {
    double width = 30.0;  ///< [Units: field units] [Limit: > 0]
    double height = 20.0; ///< [Units: field units] [Limit: > 0]

    double MinX() const { return -0.5 * width; }
    double MaxX() const { return 0.5 * width; }
    double MinY() const { return -0.5 * height; }
    double MaxY() const { return 0.5 * height; }
    bool Contains(Vec2 p) const {
        return p.x >= MinX() && p.x <= MaxX() && p.y >= MinY() && p.y <= MaxY();
    }
};

/// Whether `target` lies within `range` of `apex` and within half of `fieldOfView` either side
/// of `heading`. Both edges count as inside. A target on the apex itself is inside.
/// [Units: heading in radians, fieldOfView in degrees]
bool InsideCone(Vec2 apex, double heading, double range, double fieldOfView, Vec2 target);

/// Where the segment from `from` to `to` first touches the circle, as a fraction of the way
/// along it (0 at `from`, 1 at `to`); nothing when it misses. A segment that starts inside
/// the circle touches it at 0. A tangent counts as a touch.
std::optional<double> SegmentTouchesCircle(Vec2 from, Vec2 to, Vec2 centre, double radius);

/// `p` moved inside the field by at least `margin` on every side, each coordinate on its own.
Vec2 KeepInside(const FieldSize& field, Vec2 p, double margin);

/// The move from `from` to `to` without its part toward `centre`: what is left of it runs
/// square to the line from `centre`, along the rim of a circle round it. A move away from
/// `centre` is kept whole.
Vec2 SlideAlong(Vec2 from, Vec2 to, Vec2 centre);

double Distance(Vec2 a, Vec2 b);

} // namespace botarena

#include "arena/battle/spatial.h"

#include "arena/battle/arena_math.h"

#include <algorithm>
#include <cmath>

namespace botarena {

bool InsideCone(Vec2 apex, double heading, double range, double fieldOfView, Vec2 target) {
    const double dx = target.x - apex.x;
    const double dy = target.y - apex.y;
    const double distance = std::hypot(dx, dy);
    if (distance > range) {
        return false;
    }
    if (distance == 0.0) {
        return true;
    }
    const double offCentre = std::fabs(NormaliseRadians(std::atan2(dy, dx) - heading));
    // A tolerance far below anything a scanner can resolve keeps a target placed exactly on an
    // edge (in degrees, converted) from falling out by rounding.
    return offCentre <= 0.5 * fieldOfView * kRadiansPerDegree + 1e-12;
}

std::optional<double> SegmentTouchesCircle(Vec2 from, Vec2 to, Vec2 centre, double radius) {
    const double fx = from.x - centre.x;
    const double fy = from.y - centre.y;
    const double c = fx * fx + fy * fy - radius * radius;
    if (c <= 0.0) {
        return 0.0;
    }
    const double dx = to.x - from.x;
    const double dy = to.y - from.y;
    const double a = dx * dx + dy * dy;
    if (a == 0.0) {
        return std::nullopt;
    }
    // |from + s d - centre|^2 = r^2 is a quadratic in s; the smaller root is the entry.
    const double b = 2.0 * (fx * dx + fy * dy);
    const double discriminant = b * b - 4.0 * a * c;
    if (discriminant < 0.0) {
        return std::nullopt;
    }
    const double entry = (-b - std::sqrt(discriminant)) / (2.0 * a);
    if (entry < 0.0 || entry > 1.0) {
        return std::nullopt;
    }
    return entry;
}

Vec2 KeepInside(const FieldSize& field, Vec2 p, double margin) {
    return {std::clamp(p.x, field.MinX() + margin, field.MaxX() - margin),
            std::clamp(p.y, field.MinY() + margin, field.MaxY() - margin)};
}

double Distance(Vec2 a, Vec2 b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

Vec2 SlideAlong(Vec2 from, Vec2 to, Vec2 centre) {
    const double length = Distance(from, centre);
    if (!(length > 0.0)) {
        return from;
    }
    const Vec2 outward{(from.x - centre.x) / length, (from.y - centre.y) / length};
    const Vec2 move{to.x - from.x, to.y - from.y};
    const double towards = move.x * outward.x + move.y * outward.y;
    if (towards >= 0.0) {
        return to;
    }
    return {to.x - towards * outward.x, to.y - towards * outward.y};
}

} // namespace botarena

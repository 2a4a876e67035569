#include "modes/nearest_object.h"

#include "world/battle_object.h"
#include "world/object_field.h"
#include "world/predicted_battle_object.h"

#include <cmath>

namespace botpilot {

namespace {

/// The starting bound of the nearest-object search. [Units: world units]
constexpr double kFarthestDistance = 1000000.0;

} // namespace

const PredictedBattleObject* FindNearestObject(const ObjectField& field, Point from) {
    const PredictedBattleObject* nearest = nullptr;
    double bound = kFarthestDistance;
    for (const PredictedBattleObject& object : field.InIdOrder()) {
        const Point position = object.Position();
        const double distance = std::hypot(position.x - from.x, position.y - from.y);
        // Strictly below: of equally near objects the earlier (smaller id) stays.
        if (distance < bound) {
            nearest = &object;
            bound = distance;
        }
    }
    return nearest;
}

Angle RelativeBearingOfNearest(const ObjectField& field, const BattleObject& body) {
    const Point p = body.Position();
    const PredictedBattleObject* nearest = FindNearestObject(field, p);
    if (nearest == nullptr) {
        return Angle(0.0);
    }
    const Point target = nearest->Position();
    const double bearing = std::atan2(target.y - p.y, target.x - p.x);
    // Not normalised here: Scanner::SetOrientation normalises before it compares and sends.
    return Angle(bearing - body.Heading().Normalise().Radians());
}

} // namespace botpilot

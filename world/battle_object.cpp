#include "world/battle_object.h"

#include "geometry/clock.h"

#include <cmath>

namespace botpilot {

BattleObject::BattleObject()
    : positionTime(Clock::Now()), headingTime(Clock::Now()), velocityTime(Clock::Now()) {}

std::int32_t BattleObject::Id() const {
    return id;
}

void BattleObject::SetId(std::int32_t newId) {
    id = newId;
    ++stateRevision;
}

Point BattleObject::Position() const {
    return position;
}

void BattleObject::SetPosition(double x, double y) {
    position = Point{x, y};
    positionTime = Clock::Now();
    ++stateRevision;
}

double BattleObject::PositionTime() const {
    return positionTime;
}

Point BattleObject::Velocity() const {
    return velocity;
}

void BattleObject::SetVelocity(double vx, double vy) {
    velocity = Point{vx, vy};
    velocityTime = Clock::Now();
    ++stateRevision;
}

double BattleObject::VelocityTime() const {
    return velocityTime;
}

Angle BattleObject::Heading() const {
    return heading;
}

void BattleObject::SetHeading(Angle angle) {
    heading = angle;
    headingTime = Clock::Now();
    ++stateRevision;
}

double BattleObject::HeadingTime() const {
    return headingTime;
}

bool BattleObject::IsFacing(Point point, Angle fieldOfView) const {
    const double h = Heading().Normalise().Radians();
    const double f = fieldOfView.Normalise().Radians();
    const Point p = Position();
    const double bearing = std::atan2(point.y - p.y, point.x - p.x);
    // Both directions lie in (−π, π], so their plain difference reaches almost 2π for a point
    // just across the ±π line from the heading. Normalising the difference measures the shorter
    // arc, so the test is the same in every direction.
    const double offset = Angle(h - bearing).Normalise().Radians();
    return std::abs(offset) < f * 0.5;
}

bool BattleObject::IsFacing(const BattleObject& object, Angle fieldOfView) const {
    return IsFacing(object.Position(), fieldOfView);
}

} // namespace botpilot

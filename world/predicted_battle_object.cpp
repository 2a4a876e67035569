#include "world/predicted_battle_object.h"

#include "geometry/clock.h"

namespace botpilot {

// Qualified calls (BattleObject::...) read and write the stored fields, past the overrides that
// extrapolate.

Point PredictedBattleObject::Position() const {
    return PredictPosition(0.0);
}

void PredictedBattleObject::SetPosition(double x, double y) {
    ++observationCount;
    const double t0 = BattleObject::PositionTime();
    const Point p0 = BattleObject::Position();
    BattleObject::SetPosition(x, y);
    const double t1 = BattleObject::PositionTime();
    if (t1 == t0) {
        // Two sightings at one instant (the clock moves only when told to) say nothing of speed.
        SetVelocity(0.0, 0.0);
    } else {
        const double k = 1.0 / (t1 - t0);
        SetVelocity((x - p0.x) * k, (y - p0.y) * k);
    }
}

double PredictedBattleObject::PositionTime() const {
    return Clock::Now();
}

std::unique_ptr<PredictedBattleObject> PredictedBattleObject::Create() const {
    return std::make_unique<PredictedBattleObject>();
}

double PredictedBattleObject::Height(double /*x*/, double /*y*/) const {
    return 0.0;
}

Point PredictedBattleObject::PredictPosition(double dt) const {
    const double t = (Clock::Now() + dt) - BattleObject::PositionTime();
    const Point p = BattleObject::Position();
    const Point v = BattleObject::Velocity();
    return Point{p.x + v.x * t, p.y + v.y * t};
}

double PredictedBattleObject::Age() const {
    return Clock::Now() - BattleObject::VelocityTime();
}

} // namespace botpilot

#pragma once

#include "geometry/feature.h"
#include "world/battle_object.h"

#include <cstdint>
#include <memory>

namespace botpilot {

/// An object known only from sightings. Each `SetPosition` is an observation from which the
/// velocity is derived (from the last two only, no filtering); the position it reports is always
/// extrapolated to the present at that constant velocity. As a `Feature` it contributes its own
/// potential to the terrain (0 for this plain kind).
class PredictedBattleObject : public BattleObject, public Feature {
  public:
    /// Never observed: count 0, at the origin and at rest, stamped with `Clock::Now()`.
    PredictedBattleObject() = default;

    /// `PredictPosition(0)`: where the object is now.
    Point Position() const override;
    /// Records an observation: stores the position and sets the velocity from the previous one.
    /// The first observation measures from the origin at the construction time, or gives rest
    /// when the clock has not moved since.
    void SetPosition(double x, double y) override;
    /// `Clock::Now()`: the reported position is always the present one. [Units: s]
    double PositionTime() const override;
    /// A new, never observed object of the same kind as this one, owned by the caller: the
    /// object field uses one object as the prototype of all of its objects.
    virtual std::unique_ptr<PredictedBattleObject> Create() const;

    /// 0 everywhere for the plain kind.
    double Height(double x, double y) const override;

    /// Where the object will be `dt` seconds after `Clock::Now()`, at constant velocity, not
    /// kept inside the playing field. [Units: s]
    Point PredictPosition(double dt) const;
    /// Seconds since the last observation (`Clock::Now()` − velocity time). [Units: s]
    double Age() const;
    /// How many times `SetPosition` was called.
    std::int32_t ObservationCount() const { return observationCount; }

  private:
    std::int32_t observationCount = 0;
};

} // namespace botpilot

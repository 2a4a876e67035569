#pragma once

#include "geometry/angle.h"
#include "geometry/point.h"

#include <cstdint>

namespace botpilot {

/// Anything with a place on the playing field: the robot's body, its devices, and every robot or
/// object the scanner reports. Position, heading and velocity each carry the `Clock::Now()` at
/// which they were last set. Subclasses keep the order of the eleven operations below.
/// [Units: world units, units per second, radians, seconds]
class BattleObject {
  public:
    /// At the origin, heading 0, at rest, all three stamps at `Clock::Now()`. The id is 0 until
    /// the owner assigns one.
    BattleObject();
    virtual ~BattleObject() = default;
    // An object is one thing on the field: devices refer to their mount, fields to their objects.
    BattleObject(const BattleObject&) = delete;
    BattleObject& operator=(const BattleObject&) = delete;

    /// The identity the server reports for the object.
    virtual std::int32_t Id() const;
    virtual void SetId(std::int32_t newId);
    virtual Point Position() const;
    /// Stores the position and stamps it with `Clock::Now()`.
    virtual void SetPosition(double x, double y);
    /// [Units: s]
    virtual double PositionTime() const;
    /// [Units: world units per second]
    virtual Point Velocity() const;
    /// Stores the velocity and stamps it with `Clock::Now()`.
    virtual void SetVelocity(double vx, double vy);
    /// [Units: s]
    virtual double VelocityTime() const;
    /// As stored: not normalised.
    virtual Angle Heading() const;
    /// Stores the heading unchanged and stamps it with `Clock::Now()`.
    virtual void SetHeading(Angle angle);
    /// [Units: s]
    virtual double HeadingTime() const;

    /// Whether `point` lies strictly within `fieldOfView` centred on the heading. The heading and
    /// the position are read through the virtual operations, so a device uses its combined
    /// heading and its mount's position. The field of view is normalised first.
    bool IsFacing(Point point, Angle fieldOfView) const;
    /// `IsFacing` of the object's (present) position.
    bool IsFacing(const BattleObject& object, Angle fieldOfView) const;

    /// Changes each time one of the base setters stores a value, so that whoever derives
    /// something from the stored state can tell whether it still holds.
    std::uint64_t StateRevision() const { return stateRevision; }

  private:
    std::int32_t id = 0;
    Point position;
    double positionTime;
    Angle heading;
    double headingTime;
    Point velocity;
    double velocityTime;
    std::uint64_t stateRevision = 0;
};

} // namespace botpilot

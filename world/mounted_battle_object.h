#pragma once

#include "world/battle_object.h"

namespace botpilot {

/// An object fixed to another one, its mount: the robot's scanner, turret, gun and fittings on
/// its body. It has no position or velocity of its own (reading and setting them reach the
/// mount), and its heading is the mount's heading plus a heading relative to the mount.
class MountedBattleObject : public BattleObject {
  public:
    /// Relative heading 0, stamped with `Clock::Now()`. `mount` must outlive this object.
    explicit MountedBattleObject(BattleObject& mount);

    /// The mount's position.
    Point Position() const override;
    /// Moves the mount.
    void SetPosition(double x, double y) override;
    double PositionTime() const override;
    Point Velocity() const override;
    void SetVelocity(double vx, double vy) override;
    double VelocityTime() const override;
    /// Relative heading plus the mount's heading, each normalised, the sum not: it lies in
    /// (−2π, 2π]; callers normalise. [Units: rad]
    Angle Heading() const override;
    /// Turns this object (never the mount) so that its combined heading is `angle`: stores
    /// angle − the mount's heading, each normalised, the difference not.
    void SetHeading(Angle angle) override;
    /// The mount's heading time.
    double HeadingTime() const override;
    ~MountedBattleObject() override = default;

    /// The heading relative to the mount, as stored. [Units: rad]
    Angle RelativeHeading() const { return relativeHeading; }
    /// Stores the relative heading unchanged and stamps it with `Clock::Now()`.
    void SetRelativeHeading(Angle angle);
    /// [Units: s]
    double RelativeHeadingTime() const { return relativeHeadingTime; }

  private:
    BattleObject& mount; // not owned: must outlive this object
    Angle relativeHeading;
    double relativeHeadingTime;
};

} // namespace botpilot

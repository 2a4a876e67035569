#pragma once

#include "world/mounted_battle_object.h"

#include <cstdint>

namespace botpilot {

// The devices the robot only declares, and the gun it fires. Their settings mean what the
// server's rules say; this client only declares them.

/// A turret on the body. Inactive while either setting is 0, and then never read.
class Turret final : public MountedBattleObject {
  public:
    using MountedBattleObject::MountedBattleObject;

    double setting1 = 0.0;
    double setting2 = 0.0;

    void Declare() const;
    /// Reads the turret's orientation relative to the body.
    void RefreshOrientation();
    /// True when both settings are non-zero.
    bool IsActive() const { return setting1 != 0.0 && setting2 != 0.0; }
};

/// The weapon. It is mounted as the turret was when the robot was built (same mount, relative
/// heading 0) and does not follow the turret afterwards.
class Gun final : public MountedBattleObject {
  public:
    using MountedBattleObject::MountedBattleObject;

    double setting1 = 1.3;
    double setting2 = 4.0;
    double setting3 = 2.0;
    double setting4 = 4.5;
    /// The charge last read from the server, 0 right after a shot. [Units: percent]
    double charge = 100.0;

    void Declare() const;
    /// Reads the charge (no clock update: the charge carries no time stamp).
    void RefreshCharge();
    /// Fires; a result of 0 or more means the shot left, and the charge drops to 0 at once.
    std::int32_t Fire();
};

/// A passive part the robot only declares.
class Fitting final : public MountedBattleObject {
  public:
    enum class Slot { First, Second };

    /// `mount` must outlive the fitting.
    Fitting(BattleObject& mount, Slot slot, double setting)
        : MountedBattleObject(mount), setting(setting), slot(slot) {}

    double setting;

    void Declare() const;

  private:
    Slot slot;
};

} // namespace botpilot

#pragma once

#include "arena/battle/body_motion.h"
#include "arena/battle/robot_settings.h"

namespace botarena {

/// Every robot is a circle of this radius. [Units: field units]
constexpr double kRobotRadius = 0.4;

/// FireGun needs at least this charge. [Units: percent]
constexpr double kFiringCharge = 50.0;

/// Where a robot is in its life. It is configured, then runs until destroyed or until its
/// connection goes.
enum class RobotStage {
    Configuring,
    Running,
    Destroyed,
    Departed, ///< its connection closed while it was running
};

const char* StageName(RobotStage stage);

/// What the scoreboard shows of one robot.
struct RobotRecord {
    double timeAlive = 0.0; ///< running time [Units: s]
    double distance = 0.0;  ///< ground covered [Units: field units]
    int shots = 0;
    int hits = 0;             ///< shells of this robot that hit another
    double damageDealt = 0.0; ///< hit points removed from others (no more than they had)
    double damageTaken = 0.0; ///< hit points this robot lost
};

/// One robot in the arena: its declared identity and settings and its simulated state. The
/// battle moves it and resolves shells; the robot itself turns its scanner and turret,
/// recharges its gun and repairs itself.
class ArenaRobot {
  public:
    ArenaRobot(int id, bool builtIn) : id(id), builtIn(builtIn) {}

    int Id() const { return id; }
    /// One of the arena's own opponents rather than a connected client.
    bool IsBuiltIn() const { return builtIn; }
    RobotStage Stage() const { return stage; }
    bool IsRunning() const { return stage == RobotStage::Running; }

    /// Changed only while configuring (the request handler enforces that).
    RobotIdentity& Identity() { return identity; }
    const RobotIdentity& Identity() const { return identity; }
    RobotSettings& Settings() { return settings; }
    const RobotSettings& Settings() const { return settings; }

    /// Puts the robot on the field: full armour, a charged gun, the engine stopped and facing
    /// the way the body faces.
    void Start(const BodyState& at);
    /// Takes the robot off the field for good (its connection closed).
    void Depart();

    const BodyState& Body() const { return body; }
    const EngineOrder& Order() const { return order; }
    /// [Units: percent of maxSpeed] Values beyond +-100 act as +-100.
    void SetEngineSpeed(double percent) { order.speed = percent; }
    /// [Units: radians, absolute]
    void SetEngineOrientation(double radians);
    /// Where the scanner turns to, relative to the body. [Units: radians]
    void SetScannerTarget(double relativeRadians);

    /// Relative to the body. [Units: radians, normalised]
    double ScannerOrientation() const { return scannerOrientation; }
    /// Absolute. [Units: radians, normalised]
    double ScannerHeading() const;
    /// Relative to the body; always 0 for an inactive turret. [Units: radians]
    double TurretOrientation() const { return turretOrientation; }
    /// The direction a shell leaves in: the body's heading plus the turret's. [Units: radians]
    double GunHeading() const;
    /// [Units: percent] [Limit: [0, 100]]
    double GunCharge() const { return gunCharge; }
    double HitPoints() const { return hitPoints; }

    /// Turns the scanner and turret, recharges the gun and repairs, over `dt` seconds.
    void UpdateHardware(double dt);
    /// Empties the gun when it holds at least kFiringCharge; false otherwise.
    bool TryDischargeGun();
    /// Moves the body (the battle has already applied walls and other robots) and counts the
    /// ground covered and the running time of `dt` seconds.
    void MoveTo(const BodyState& next, double dt);
    /// Removes up to `amount` hit points; at 0 the robot is destroyed. Returns what it lost.
    double TakeDamage(double amount);

    RobotRecord& Record() { return record; }
    const RobotRecord& Record() const { return record; }

  private:
    int id;
    bool builtIn;
    RobotStage stage = RobotStage::Configuring;
    RobotIdentity identity;
    RobotSettings settings;
    RobotRecord record;

    BodyState body;
    EngineOrder order;
    double scannerOrientation = 0.0;
    double scannerTarget = 0.0;
    double turretOrientation = 0.0;
    double turretDirection = 1.0; ///< +1 sweeping counter-clockwise, -1 clockwise
    double gunCharge = 100.0;
    double hitPoints = 0.0;
};

} // namespace botarena

#pragma once

#include "arena/battle/body_motion.h"
#include "arena/battle/robot_settings.h"

namespace botarena {

/// Every robot is a circle of this radius. [Units: field units]
constexpr double kRobotRadius = 0.4;

/// FireGun needs at least this charge. [Units: percent]
constexpr double kFiringCharge = 50.0;

/// Survival points: a robot gets this many for every opponent that leaves the field (destroyed
/// or departed) while it is on it. [Units: points]
constexpr double kSurvivalPoints = 50.0;
/// The last robot on the field, when a round ends because it is the only one left, gets this
/// many for every other robot of the round. [Units: points]
constexpr double kLastStandingPointsPerOpponent = 10.0;

/// Where a robot is in its life. It is configured, then runs until destroyed, until its
/// connection goes, or until the round ends; each further round puts it on the field again.
enum class RobotStage {
    Configuring,
    Running,
    Destroyed,
    Departed, ///< its connection closed while it was running
    Survived, ///< still on the field when the round ended
};

const char* StageName(RobotStage stage);

/// What the scoreboard shows of one robot, over one round or (added up) over the battle.
struct RobotRecord {
    bool tookPart = false;  ///< was on the field
    double timeAlive = 0.0; ///< running time [Units: s]
    double distance = 0.0;  ///< ground covered [Units: field units]
    int shots = 0;
    int hits = 0;             ///< shells of this robot that hit another
    double damageDealt = 0.0; ///< hit points removed from others (no more than they had)
    double damageTaken = 0.0; ///< hit points this robot lost
    int outlived = 0;         ///< opponents that left the field while this robot was on it
    double bonusPoints = 0.0; ///< for being the last one standing [Units: points]

    /// Survival points, one point per hit point of damage dealt, and the bonus. [Units: points]
    double Score() const { return kSurvivalPoints * outlived + damageDealt + bonusPoints; }
    /// Adds another round's figures.
    void Add(const RobotRecord& other);
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
    /// Its connection closed: a running robot leaves the field, and no robot is put on it
    /// again in a later round.
    void Depart();
    /// The round ended with the robot on the field.
    void Survive();
    /// Whether its connection has closed.
    bool IsGone() const { return gone; }

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

    /// The figures of the current round.
    RobotRecord& Record() { return record; }
    const RobotRecord& Record() const { return record; }
    /// The figures of every round so far, the current one included.
    RobotRecord Totals() const;
    /// Adds the round's figures to the earlier ones and starts a fresh record.
    void CloseRecord();

  private:
    int id;
    bool builtIn;
    RobotStage stage = RobotStage::Configuring;
    RobotIdentity identity;
    RobotSettings settings;
    RobotRecord record;
    RobotRecord earlier; ///< the rounds before the current one
    bool gone = false;

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

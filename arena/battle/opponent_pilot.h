#pragma once

#include "arena/battle/battle.h"
#include "arena/battle/spatial.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace botarena {

/// The behaviours of the built-in opponents.
enum class OpponentKind {
    Sitter,   ///< stays put and fires only at what crosses its gun's line
    Spinner,  ///< turns on the spot and fires at whatever its gun sweeps across
    Wanderer, ///< roams at random and turns on whatever its scanner shows
    Hunter,   ///< closes in on the nearest robot it sees and keeps a small stand-off distance
    Sniper,   ///< keeps its distance and leads its target
    Duelist,  ///< a hunter on the hardware the client fields: a fight on equal terms
};

/// The kinds in the order the help and the refusals list them: the easiest first.
constexpr OpponentKind kOpponentKinds[] = {OpponentKind::Sitter,   OpponentKind::Spinner,
                                           OpponentKind::Wanderer, OpponentKind::Sniper,
                                           OpponentKind::Hunter,   OpponentKind::Duelist};

/// The name on the command line: "wanderer", "hunter", "sniper".
const char* OpponentKindName(OpponentKind kind);
/// The kind of that command-line name; nothing for an unknown one (names are exact).
std::optional<OpponentKind> ParseOpponentKind(const std::string& name);
/// "sitter, spinner, wanderer, sniper, hunter, duelist", for the help and the refusals.
std::string OpponentKindList();

/// What one look of the scanner shows of another robot: exactly what GetSeenRobots reports of
/// its place, and no more, so that an opponent knows no more than a client would.
struct Sighting {
    int id = 0;
    Vec2 position;
    double heading = 0.0; ///< the body's [Units: radians, absolute]
};

/// Random points to roam between while nothing is in sight. [Units: field units]
class RoamingCourse {
  public:
    explicit RoamingCourse(std::uint32_t seed) : random(seed) {}

    /// The point to head for from `here`: a new one, at least kWaypointMargin inside the walls,
    /// when the last is reached, given up (after kWaypointPatience) or forgotten.
    Vec2 Waypoint(const Battle& battle, Vec2 here);
    /// After a fight the old waypoint is stale.
    void Forget() { hasWaypoint = false; }

  private:
    std::mt19937 random;
    Vec2 waypoint;
    bool hasWaypoint = false;
    double waypointSince = 0.0; ///< battle time the waypoint was chosen [Units: s]
};

/// The mind of one built-in opponent. It acts on its robot only through the operations a
/// connection's requests reach (engine and scanner orders, FireGun) and knows of the others
/// only what its scanner reports, so it plays by the same rules as a client.
class OpponentPilot {
  public:
    explicit OpponentPilot(int robotId) : robotId(robotId) {}
    virtual ~OpponentPilot() = default;
    OpponentPilot(const OpponentPilot&) = delete;
    OpponentPilot& operator=(const OpponentPilot&) = delete;

    int RobotId() const { return robotId; }

    /// One decision, made once per battle step before the step; does nothing once the robot
    /// has stopped running.
    void Update(Battle& battle);

  protected:
    /// The decision of a running robot, with what its scanner shows now.
    virtual void Decide(Battle& battle, ArenaRobot& robot, const std::vector<Sighting>& seen) = 0;

    /// Full speed toward a roaming waypoint with the scanner sweeping round.
    static void Roam(Battle& battle, ArenaRobot& robot, RoamingCourse& course, double speed);
    /// Tells the scanner to keep turning the way the body turns, so it sweeps round.
    static void SweepScanner(ArenaRobot& robot);
    /// Points the scanner at an absolute bearing. [Units: radians]
    static void LookToward(ArenaRobot& robot, double bearing);
    /// Fires when the gun is charged and points within `tolerance` of `bearing`.
    /// [Units: radians]
    bool FireWhenAimed(Battle& battle, const ArenaRobot& robot, double bearing,
                       double tolerance) const;
    /// Fires when the gun is charged and points within `tolerance` of any robot in sight, for
    /// those that never turn toward a target. [Units: radians]
    void FireAtAnyInLine(Battle& battle, const ArenaRobot& robot, const std::vector<Sighting>& seen,
                         double tolerance) const;

    static Vec2 Position(const ArenaRobot& robot) { return {robot.Body().x, robot.Body().y}; }
    /// The sighting nearest to `here`; the first of equals (lowest id) wins the tie.
    static const Sighting* Nearest(const std::vector<Sighting>& seen, Vec2 here);
    static const Sighting* FindSighting(const std::vector<Sighting>& seen, int id);
    /// [Units: radians, absolute]
    static double Bearing(Vec2 from, Vec2 to) { return std::atan2(to.y - from.y, to.x - from.x); }

  private:
    int robotId;
};

/// Who an opponent of that kind is (name "Hunter 3" for number 3, type "Hunter") and what it
/// declares, every value within the limits a ConfigureXxx request is checked against.
/// `ordinal` counts the opponents of that kind from 0 and picks its shade of the kind's colour.
RobotIdentity OpponentIdentity(OpponentKind kind, int number, int ordinal);
RobotSettings OpponentSettings(OpponentKind kind);

/// The first declared setting outside the limits a configuration request is checked against,
/// as that request's refusal text; nothing when all are accepted.
std::optional<std::string> RefusedSetting(const RobotSettings& settings);

/// Adds `count` opponents to the battle, configures and starts them, the kinds taken from
/// `kinds` in turn; each pilot's choices follow from `seed` and its robot's id.
/// [Limit: kinds not empty when count > 0]
std::vector<std::unique_ptr<OpponentPilot>> StartOpponents(Battle& battle,
                                                           const std::vector<OpponentKind>& kinds,
                                                           int count, std::uint32_t seed);

} // namespace botarena

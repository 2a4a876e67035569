#pragma once

#include "arena/battle/arena_robot.h"
#include "arena/battle/spatial.h"
#include "arena/battle/spatial_grid.h"
#include "arena/battle/standings.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace botarena {

/// A shell in flight. Shells are the "other objects" a scanner reports.
struct Shell {
    std::int32_t id = 0;
    int ownerId = 0;
    Vec2 position;
    Vec2 velocity;               ///< [Units: field units per second]
    double remainingRange = 0.0; ///< [Units: field units]
    double remainingTime = 0.0;  ///< until it is spent whatever its range [Units: s]
    double damage = 0.0;

    /// Where it is `dt` seconds on, unless its range runs out first. [Units: s]
    Vec2 PositionAfter(double dt) const;
};

/// Shells in flight at once, per robot and over the battle: a gun that would exceed either does
/// not fire. A shell is spent after kShellLifetimeSeconds at the latest. Together with the gun's
/// lower bounds they keep the work of a step and the size of a snapshot bounded.
constexpr std::size_t kMaxShellsPerRobot = 16;
constexpr std::size_t kMaxShells = 512;
constexpr double kShellLifetimeSeconds = 20.0;

/// Something worth a line in the event log, as a step of the battle produced it.
struct BattleEvent {
    enum class Kind { Hit, Destroyed };
    Kind kind = Kind::Hit;
    int shooterId = 0;
    int targetId = 0;
    double damage = 0.0;    ///< hit points the target lost
    double hitPoints = 0.0; ///< what the target has left
};

/// Robots whose connection closed after they started that the battle keeps for the scoreboard:
/// beyond them the one that left first is forgotten and its figures join Forgotten(), so that
/// a client that connects, starts and leaves over and over cannot grow the arena without bound.
/// Robots whose connection is open are bounded by the connections and opponents anyway.
constexpr std::size_t kMaxKeptGoneRobots = 256;

/// The figures of the robots the battle has forgotten, summed up. They are not ranked.
struct ForgottenRobots {
    int count = 0;
    int shots = 0;
    int hits = 0;
    double damageDealt = 0.0;
    double damageTaken = 0.0;
    double score = 0.0; ///< [Units: points]
};

/// How one round went: its robots' figures over the round and their order.
struct RoundResult {
    int number = 1; ///< counting from 1
    std::string reason;
    double duration = 0.0; ///< [Units: s]
    /// The robots that were on the field in the round and were still kept at its end, by id.
    std::vector<Contender> robots;
    Standings standings;
};

/// The simulated battle: the field, its robots and the shells in flight, advanced by fixed
/// steps. Connections and the built-in opponents act on it through the same operations.
class Battle {
  public:
    /// `seed` fixes the spawn points.
    Battle(FieldSize field, std::uint32_t seed);
    // The grid points into the robots it indexes: a copy would point into the original's,
    // while a move takes the robots' nodes along with the grid.
    Battle(const Battle&) = delete;
    Battle& operator=(const Battle&) = delete;
    Battle(Battle&&) = default;
    Battle& operator=(Battle&&) = default;

    const FieldSize& Field() const { return field; }
    /// Simulated time since the battle began. [Units: s]
    double Time() const { return time; }
    /// The current round, counting from 1.
    int Round() const { return round; }
    /// Simulated time since the current round began. [Units: s]
    double RoundTime() const { return time - roundStart; }

    /// A new robot with the default settings, configuring. Ids count from 1.
    ArenaRobot& AddRobot(bool builtIn);
    /// nothing when there is no robot of that id.
    ArenaRobot* Find(int id);
    const ArenaRobot* Find(int id) const;
    /// Puts a configuring robot on the field at a free random spot, facing a random way.
    void StartRobot(int id);
    /// Puts a configuring robot on the field at the given spot (held inside the walls).
    void StartRobotAt(int id, const BodyState& at);
    /// The robot's connection closed: a robot that never started is forgotten, a running one
    /// leaves the field; a started one stays on the scoreboard among the kMaxKeptGoneRobots
    /// that left last.
    void RemoveRobot(int id);
    /// Sums the robot's figures into Forgotten() and drops it.
    void ForgetRobot(int id);
    const ForgottenRobots& Forgotten() const { return forgotten; }

    /// Ends the round: the robots on the field survive it, the last one standing gets its bonus
    /// when the round is decided, the shells go, and the round's result and the battle's
    /// standings so far are made. Nothing moves until BeginRound.
    const RoundResult& EndRound(const std::string& reason);
    /// Starts the next round: every robot that took part before and whose connection is open
    /// goes back on the field at a free random spot, with full armour and a full gun, and a
    /// fresh record for the round.
    void BeginRound();
    /// Between EndRound and BeginRound: after the last round, the battle is over.
    bool IsOver() const { return over; }
    const std::vector<RoundResult>& Rounds() const { return rounds; }
    /// Every kept robot by its figures over every round, as of the last EndRound.
    const Standings& Overall() const { return overall; }

    /// Other running robots whose centre lies in the robot's scanner cone, by id.
    std::vector<const ArenaRobot*> SeenRobots(int id) const;
    /// Shells whose centre lies in the robot's scanner cone, by id.
    std::vector<const Shell*> SeenShells(int id) const;
    /// Fires a shell along the gun's heading when the gun is charged and neither shell cap is
    /// reached (the charge is then kept): returns its id (1 or
    /// more), or -1 when the charge is below kFiringCharge or the robot is not running.
    std::int32_t FireGun(int id);

    /// Advances everything by `dt` seconds and returns what happened. [Limit: dt > 0]
    std::vector<BattleEvent> Step(double dt);

    const std::map<int, ArenaRobot>& Robots() const { return robots; }
    /// The shells in flight, in no particular order.
    const std::vector<Shell>& Shells() const { return shells; }
    /// Where the robot's body is `dt` seconds after the last step, on its way through the next:
    /// its engine order followed for that long, inside the walls. What a reading taken between
    /// two steps reports, so that readings move on with the clock that stamps them rather than
    /// in steps. [Units: s] [Limit: dt from 0 to one step]
    BodyState BodyAfter(const ArenaRobot& robot, double dt) const;
    std::size_t ShellCount() const { return shells.size(); }
    /// The shells in flight that this robot fired.
    std::size_t ShellsOf(int ownerId) const;
    int RunningCount() const;
    /// Running robots that clients drive, the built-in opponents left out.
    int RunningClientCount() const;
    /// At most one robot is left after at least two have been on the field in this round.
    bool IsDecided() const { return roundStarted >= 2 && RunningCount() <= 1; }

  private:
    /// Puts the robot on the field at a free random spot, facing a random way.
    void PlaceAtRandom(ArenaRobot& robot);
    void Place(ArenaRobot& robot, const BodyState& at);
    /// The robot left the field: every robot still on it has outlived it.
    void Outlive(int leaverId);
    /// Moves one robot by its engine, held inside the walls and kept off the others.
    void MoveRobot(ArenaRobot& robot, double dt);
    /// The nearest running robot other than `robot` that a move from `from` to `to` would bring
    /// closer than two radii while closer than before; null when there is none.
    const ArenaRobot* Blocker(const ArenaRobot& robot, Vec2 from, Vec2 to) const;
    /// Moves one shell; true when it is spent (hit, out of range or off the field).
    bool MoveShell(Shell& shell, double dt, std::vector<BattleEvent>& events);

    FieldSize field;
    std::mt19937 random;
    std::map<int, ArenaRobot> robots;
    /// Exactly the running robots, where their bodies are: what scanners, moves, shells and
    /// spawn points can meet is looked up among the robots nearby.
    SpatialGrid grid;
    std::vector<Shell> shells;
    int nextRobotId = 1;
    std::int32_t nextShellId = 1;
    int roundStarted = 0; ///< robots put on the field in this round
    double time = 0.0;
    int round = 1;
    double roundStart = 0.0; ///< [Units: s]
    bool over = false;
    std::deque<int> goneOrder; ///< kept robots whose connection closed, the first to go first
    ForgottenRobots forgotten;
    std::vector<RoundResult> rounds;
    Standings overall;
};

} // namespace botarena

#pragma once

#include "arena/battle/arena_robot.h"
#include "arena/battle/spatial.h"

#include <cstddef>
#include <cstdint>
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

/// Robots that may start over a battle's life; each stays on the scoreboard. A client that
/// connects, starts and leaves over and over must not grow the arena without bound.
constexpr int kMaxStartedRobots = 256;

/// The simulated battle: the field, its robots and the shells in flight, advanced by fixed
/// steps. Connections and the built-in opponents act on it through the same operations.
class Battle {
  public:
    /// `seed` fixes the spawn points.
    Battle(FieldSize field, std::uint32_t seed);

    const FieldSize& Field() const { return field; }
    /// Simulated time since the battle began. [Units: s]
    double Time() const { return time; }

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
    /// leaves the field and stays on the scoreboard.
    void RemoveRobot(int id);

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
    std::size_t ShellCount() const { return shells.size(); }
    /// The shells in flight that this robot fired.
    std::size_t ShellsOf(int ownerId) const;
    int RunningCount() const;
    int StartedCount() const { return startedCount; }
    /// At most one robot is left after at least two have started.
    bool IsDecided() const { return startedCount >= 2 && RunningCount() <= 1; }

  private:
    /// Moves one robot by its engine, held inside the walls and kept off the others.
    void MoveRobot(ArenaRobot& robot, double dt);
    /// Moves one shell; true when it is spent (hit, out of range or off the field).
    bool MoveShell(Shell& shell, double dt, std::vector<BattleEvent>& events);

    FieldSize field;
    std::mt19937 random;
    std::map<int, ArenaRobot> robots;
    std::vector<Shell> shells;
    int nextRobotId = 1;
    std::int32_t nextShellId = 1;
    int startedCount = 0;
    double time = 0.0;
};

} // namespace botarena

#pragma once

#include "arena/battle/opponent_pilot.h"

#include <deque>

namespace botarena {

/// Where a shell at `shellSpeed` from the origin meets a target now at `offset` moving at
/// `velocity`: the earliest time of flight, or nothing when the shell can never catch it.
/// [Units: field units, field units per second; the result in s]
std::optional<double> InterceptTime(Vec2 offset, Vec2 velocity, double shellSpeed);

/// An opponent that fights from afar: it keeps its target between kMinRange and kMaxRange,
/// running from a robot that comes nearer (along a wall or out of a corner when one is in the
/// way) and turning back to fire once its gun is charged. It leads its shots: from successive
/// sightings it estimates the target's velocity and aims where the target will be when the shell
/// arrives. It fires only when so aimed.
class SniperPilot : public OpponentPilot {
  public:
    /// `seed` fixes its roaming.
    SniperPilot(int robotId, std::uint32_t seed) : OpponentPilot(robotId), course(seed) {}

    /// A slower robot with a long, fast gun and a long, narrow scanner.
    static RobotSettings Settings();

  protected:
    void Decide(Battle& battle, ArenaRobot& robot, const std::vector<Sighting>& seen) override;

  private:
    struct Fix {
        double time = 0.0; ///< [Units: s]
        Vec2 position;
    };

    /// Adds the sighting to the target's track, starting a new track for a new target or after
    /// a gap; true once the track is long enough to tell the velocity.
    bool Track(double time, const Sighting& target, Vec2& velocity);
    /// The engine order that keeps `threat` between kMinRange and kMaxRange, facing `aim`
    /// whenever the gun is `ready` to fire.
    void Keep(Battle& battle, ArenaRobot& robot, Vec2 threat, double aim, bool ready);
    /// The way out from a robot at `threat` that is too near. [Units: radians, absolute]
    double EscapeBearing(const Battle& battle, Vec2 here, Vec2 threat) const;

    RoamingCourse course;
    int targetId = 0;
    std::deque<Fix> track; ///< the target's recent positions, oldest first
    double escape = 0.0;   ///< the way out it runs [Units: radians, absolute]
    int escapeDrive = 0;   ///< +1 running forward, -1 in reverse, 0 not running
};

} // namespace botarena

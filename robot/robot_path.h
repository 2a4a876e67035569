#pragma once

#include "geometry/angle.h"
#include "geometry/linear_path.h"
#include "geometry/path.h"
#include "geometry/point.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace botpilot {

/// The trigonometry a fan of paths works out in one decision, each distinct case once: the paths
/// of a fan share their orientations, their turning centres' bearings speed after speed, and their
/// arcs' angles at the times sampled, so few of the values asked for are new. Arguments are known
/// by their bits, so what the memo gives is exactly what std::cos, std::sin and std::atan2 give.
/// Bounded: once a table holds `kCapacity` cases, further ones are worked out on every call.
class TrigMemo {
  public:
    static constexpr std::size_t kCapacity = 256;

    TrigMemo();
    TrigMemo(const TrigMemo&) = delete;
    TrigMemo& operator=(const TrigMemo&) = delete;

    /// Forgets every case, without sweeping the tables: the next decision starts empty.
    void Clear();

    /// {std::cos(radians), std::sin(radians)}. [Units: rad]
    Point CosSin(double radians) {
        // Inline for an angle found in its home slot, as most are: the arcs sample it at every
        // point.
        const std::uint64_t bits = Bits(radians);
        const Slot& home = sinesAndCosines.slots[Home(bits, 0)];
        if (home.generation == generation && home.first == bits) {
            return home.value;
        }
        return FindCosSin(radians, bits);
    }
    /// std::atan2(y, x). [Units: rad]
    double Atan2(double y, double x);

  private:
    struct Slot {
        std::uint64_t first = 0;      ///< the first argument's bits
        std::uint64_t second = 0;     ///< the second's, or 0
        std::uint32_t generation = 0; ///< the `Clear` it was stored after; another: empty
        Point value;
    };
    /// Open addressing with twice the capacity's slots, so that a probe soon meets an empty one.
    struct Table {
        Table();
        /// The slot of the key: its own, or the empty one where it belongs.
        Slot& Find(std::uint64_t first, std::uint64_t second, std::uint32_t generation);
        std::vector<Slot> slots;
        std::size_t stored = 0;
    };

    static std::uint64_t Bits(double value) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return bits;
    }
    /// Where a key's probe starts: Fibonacci hashing, the multiplier spreading the key's bits into
    /// the top ones, of which the index takes as many as the table needs.
    static std::size_t Home(std::uint64_t first, std::uint64_t second) {
        constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;
        return static_cast<std::size_t>(((first ^ (second * 31)) * kMultiplier) >>
                                        (64 - kSlotBits));
    }
    static constexpr int kSlotBits = 9;

    Point FindCosSin(double radians, std::uint64_t bits);

    Table sinesAndCosines;
    Table bearings;
    std::uint32_t generation = 1;
};

/// A candidate engine command: what a mode would send through `Body::SetEngineSpeed` and
/// `Body::SetEngineOrientation`.
struct EngineCommand {
    /// Speed in percent of the body's `maxSpeed`; negative drives backwards, 100 is full speed
    /// ahead. [Units: %]
    double engineSpeed = 0.0;
    /// The absolute direction the robot is to face. [Units: rad]
    Angle orientation;
    /// Carried for the modes that build the command; the robot path copies it and never reads it.
    bool flag = false;
};

/// Where a robot starts from, for one path or for a fan of paths from the same start, with what
/// every path would otherwise work out again from it: the normalised heading and the directions
/// square to either side of it, in which a turn's centre lies.
struct PathStart {
    /// Starts at (x, y) facing `heading`. `maxSpeed` is the distance per second at engine speed
    /// 100; `maxTurnRate` is the body's turning rate.
    /// [Units: maxTurnRate in degrees per second] [Limit: maxTurnRate > 0]
    /// Throws std::invalid_argument when maxTurnRate is not positive.
    PathStart(double x, double y, Angle heading, double maxSpeed, double maxTurnRate);

    double x;
    double y;
    double maxSpeed;
    double maxTurnRate;
    double normalisedHeading; ///< in (−π, π] [Units: rad]
    Point towardsLeftCentre;  ///< (cos, sin) of the normalised heading + π/2
    Point towardsRightCentre; ///< (cos, sin) of the normalised heading − π/2
    /// Where the paths built from this start take their trigonometry, if anywhere: a memo shared
    /// by the fan, which must outlive the paths and stay uncleared while they are used.
    TrigMemo* trig = nullptr;
};

/// Where the robot will be t seconds after it is given an engine command. The robot drives at
/// the command's constant speed while its heading swings at the maximum turning rate towards the
/// command's orientation, the shorter way round: a circular arc, then a straight run once the
/// heading has reached the orientation. A copyable value.
class RobotPath final : public Path {
  public:
    /// Starts at (x, y) facing `heading`. `maxSpeed` is the distance per second at engine speed
    /// 100; `maxTurnRate` is the body's turning rate. The command is copied.
    /// [Units: maxTurnRate in degrees per second] [Limit: maxTurnRate > 0]
    /// Throws std::invalid_argument when maxTurnRate is not positive.
    RobotPath(double x, double y, Angle heading, double maxSpeed, double maxTurnRate,
              const EngineCommand& command);

    /// The same from a start shared with other paths (the terrain rover's fan of candidates).
    RobotPath(const PathStart& start, const EngineCommand& command);

    /// The predicted point t seconds after the start. Not kept inside the playing field; times
    /// before 0 give the start point. [Units: s]
    Point PointAt(double t) const override;

    const EngineCommand& Command() const { return command; }

    /// Seconds spent turning before the straight run; 0 when no turn is needed. [Units: s]
    double TurnTime() const { return turnTime; }

    /// Radius of the turning arc; 0 at engine speed 0, where the robot turns on the spot.
    double Radius() const { return radius; }

  private:
    /// {cos, sin} of `radians`, from the start's memo when it has one.
    Point CosSin(double radians) const;
    /// atan2(y, x), from the start's memo when it has one.
    double Atan2(double y, double x) const;

    EngineCommand command;
    double turnTime = 0.0; ///< [Units: s]
    Angle startAngle;      ///< from the turning centre to the start point
    Angle endAngle;        ///< from the turning centre to the end of the turn; not normalised
    double centreX = 0.0;
    double centreY = 0.0;
    double radius = 0.0;
    LinearPath straight; ///< the run after the turn, at its time 0 where the turn ends
    // The ends between which `Angle::AngleAtFraction` interpolates the turn, chosen once here
    // as it would choose them at every point: on the [0, 2π) axis when the turn crosses the ±π
    // line, else the stored angles. [Units: rad]
    double arcFrom = 0.0;
    double arcTo = 0.0;
    TrigMemo* trig = nullptr; ///< borrowed from the start; may be null
};

} // namespace botpilot

#pragma once

#include "geometry/angle.h"
#include "geometry/linear_path.h"
#include "geometry/path.h"
#include "geometry/point.h"

namespace botpilot {

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
};

} // namespace botpilot

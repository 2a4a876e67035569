#pragma once

#include "geometry/angle.h"
#include "geometry/cached_double.h"
#include "world/battle_object.h"

namespace botpilot {

/// The robot's chassis: its position and heading are the robot's, and its engine drives it.
/// Engine commands are sent only when they change.
class Body final : public BattleObject {
  public:
    /// Ground speed at engine speed 100. [Units: field units per second]
    double maxSpeed = 3.0;
    /// [Units: degrees per second] [Limit: > 0]
    double maxTurnRate = 75.0;

    /// Declares the engine to the server: maximum speed and turning rate.
    void Declare() const;
    /// Reads the heading from the server and stores it with the time of the reply.
    void RefreshHeading();
    /// Reads the position from the server and stores it with the time of the reply.
    void RefreshPosition();

    /// Sends the engine speed unless it is within 0.0001 of the last one sent.
    /// [Units: percent of maxSpeed; negative reverses]
    void SetEngineSpeed(double speed);
    /// Sends the direction to drive in, normalised into (-pi, pi], unless it is within 0.0001 of
    /// the last one sent.
    void SetEngineOrientation(Angle orientation);

    /// The engine speed and direction last sent; nothing sent yet is not valid.
    const CachedDouble& SentEngineSpeed() const { return sentEngineSpeed; }
    const CachedDouble& SentEngineOrientation() const { return sentEngineOrientation; }

  private:
    CachedDouble sentEngineSpeed;
    CachedDouble sentEngineOrientation;
};

} // namespace botpilot

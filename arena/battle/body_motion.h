#pragma once

namespace botarena {

/// Where a robot's body is and which way it faces.
struct BodyState {
    double x = 0.0;       ///< [Units: field units]
    double y = 0.0;       ///< [Units: field units]
    double heading = 0.0; ///< [Units: radians, normalised to (-pi, pi]]
};

/// What the engine is capable of, as declared by ConfigureEngine.
struct EngineLimits {
    /// Ground speed at engine speed 100. [Units: field units per second] [Limit: > 0]
    double maxSpeed = 3.0;
    /// [Units: degrees per second] [Limit: > 0]
    double maxTurnRate = 75.0;
};

/// What the engine has been told to do.
struct EngineOrder {
    /// [Units: percent of maxSpeed; negative reverses] Clamped to [-100, 100] when applied.
    double speed = 0.0;
    /// The absolute direction the body turns to face. [Units: radians]
    double orientation = 0.0;
};

/// Advances one body by `dt` seconds, ignoring walls and other robots.
///
/// The model the client predicts its own motion with: the body runs at the constant signed
/// speed maxSpeed x speed / 100 along its heading, while the heading swings toward the order's
/// orientation at maxTurnRate the shorter way; once it faces that way it runs straight on. The
/// arc within the step is integrated exactly, so the result does not depend on how a span of
/// time is cut into steps. [Limit: dt >= 0]
BodyState StepBody(const BodyState& body, const EngineLimits& engine, const EngineOrder& order,
                   double dt);

} // namespace botarena

#include "arena/battle/body_motion.h"

#include "arena/battle/arena_math.h"

#include <algorithm>
#include <cmath>

namespace botarena {

BodyState StepBody(const BodyState& body, const EngineLimits& engine, const EngineOrder& order,
                   double dt) {
    const double percent = std::clamp(order.speed, -100.0, 100.0);
    const double speed = engine.maxSpeed * percent * 0.01;
    const double turnRate = engine.maxTurnRate * kRadiansPerDegree;
    const double heading = NormaliseRadians(body.heading);
    const double target = NormaliseRadians(order.orientation);
    const double delta = NormaliseRadians(target - heading);

    BodyState next = body;
    const double turnTime = std::fabs(delta) / turnRate;
    const double turning = std::min(dt, turnTime);
    if (turning > 0.0) {
        // Along an arc at constant speed and turning rate, the chord has the length
        // v t sinc(swing / 2) and points along the mean of the start and end headings.
        const double swing = std::copysign(turnRate * turning, delta);
        const double chord = speed * turning * Sinc(0.5 * swing);
        next.x += chord * std::cos(heading + 0.5 * swing);
        next.y += chord * std::sin(heading + 0.5 * swing);
    }
    if (turnTime <= dt) {
        // Landing exactly on the target keeps the straight run free of a residual swing.
        next.heading = target;
        const double straight = dt - turning;
        next.x += speed * straight * std::cos(target);
        next.y += speed * straight * std::sin(target);
    } else {
        next.heading = NormaliseRadians(heading + std::copysign(turnRate * turning, delta));
    }
    return next;
}

} // namespace botarena

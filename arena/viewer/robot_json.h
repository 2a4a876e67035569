#pragma once

#include "arena/battle/arena_robot.h"

#include <nlohmann/json.hpp>

namespace botarena {

/// How a robot's running figures (hit points, damage, time alive, distance) are written.
enum class FigurePrecision {
    Exact,      ///< as simulated: the summary file
    Thousandth, ///< rounded to a thousandth: the viewer, whose table shows two decimals
};

/// What the viewer and the summary both say of a robot, as JSON: id, name, type,
/// colour [r, g, b], builtIn, state, shots, hits, and the figures hitPoints, damageDealt,
/// damageTaken, timeAlive and distance to `precision`. Each adds its own fields to it.
nlohmann::json RobotJson(const ArenaRobot& robot, FigurePrecision precision);

} // namespace botarena

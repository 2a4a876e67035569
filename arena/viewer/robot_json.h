#pragma once

#include "arena/battle/arena_robot.h"
#include "arena/battle/standings.h"

#include <nlohmann/json.hpp>

namespace botarena {

/// How a robot's running figures (hit points, damage, time alive, distance) are written.
enum class FigurePrecision {
    Exact,      ///< as simulated: the summary file
    Thousandth, ///< rounded to a thousandth: the viewer, whose table shows two decimals
};

/// What the viewer and the summary both say of a robot, as JSON: id, name, type,
/// colour [r, g, b], builtIn, state, shots, hits, and the figures hitPoints, damageDealt,
/// damageTaken, timeAlive and distance to `precision`, added up over every round. Each adds its
/// own fields to it.
nlohmann::json RobotJson(const ArenaRobot& robot, FigurePrecision precision);

/// A ranked robot's `rank` and `score` (to `precision`) added to its entry; nothing when the
/// standings do not rank it.
void AddPlacing(nlohmann::json& entry, const Standings& standings, int id,
                FigurePrecision precision);

/// The winner as JSON: {id, name}, or null for a draw.
nlohmann::json WinnerJson(const Standings& standings);

} // namespace botarena

#pragma once

#include "arena/battle/battle.h"
#include "arena/battle/drawing_board.h"

#include <nlohmann/json.hpp>

namespace botarena {

/// The world as the viewer draws it at one moment, as JSON:
///   time (s), field {width, height};
///   robots [{id, name, type, colour [r, g, b], builtIn, state, x, y, heading, scannerHeading,
///            scannerRange, scannerFieldOfView (whole cone, degrees), hitPoints, armour,
///            shots, hits, damageDealt, damageTaken, timeAlive, distance}] by id, every robot
///            that joined (only those in the state "alive" are on the field);
///   shells [{id, owner, x, y, vx, vy}];
///   drawings [{connection, client, cells [[x, y, halfWidth, halfHeight, r, g, b]]}] by
///            connection id, each layer's cells by item id;
///   round, from the second round on; and once the battle is over, each ranked robot's rank
///            and score (over every round) and the winner {id, name}, or null for a draw.
/// Angles are absolute radians, positions field units, speeds field units per second. Values
/// are rounded to what a picture or a table can show, which keeps the text short.
nlohmann::json SnapshotJson(const Battle& battle, const DrawingBoard& board);

} // namespace botarena

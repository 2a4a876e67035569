#pragma once

#include "arena/battle/battle.h"
#include "arena/battle/drawing_board.h"

#include <cstddef>
#include <nlohmann/json.hpp>
#include <vector>

namespace botarena {

/// A step's event with the battle time it happened at.
struct TimedBattleEvent {
    double time = 0.0; ///< [Units: s]
    BattleEvent event;
};

/// Events one snapshot carries at most; beyond them a step's events are left out, and only the
/// hit points in the snapshot tell of them.
constexpr std::size_t kMaxEventsPerSnapshot = 256;

/// The world as the viewer draws it at one moment, as JSON:
///   time (s), field {width, height};
///   robots [{id, name, type, colour [r, g, b], builtIn, state, x, y, heading, scannerHeading,
///            scannerRange, scannerFieldOfView (whole cone, degrees), hitPoints, armour,
///            shots, hits, damageDealt, damageTaken, timeAlive, distance}] by id, every robot
///            that joined (those "alive" are on the field, and once a round is over its survivors,
///            "survived", where they stood);
///   shells [{id, owner, x, y, vx, vy}];
///   drawings [{connection, client, robot {id, name} when known, lastDrawn (s, battle time of
///            its last cell; absent before the first), cells [[x, y, halfWidth, halfHeight,
///            r, g, b]]}] by connection id, each layer's cells by item id;
///   events [{time, kind "hit", robot, by, damage, hitPoints} or {time, kind "destroyed",
///            robot, by}]: what happened since the previous snapshot, in order;
///   round, from the second round on; and once the battle is over, each ranked robot's rank
///            and score (over every round) and the winner {id, name}, or null for a draw.
/// Angles are absolute radians, positions field units, speeds field units per second. Values
/// are rounded to what a picture or a table can show, which keeps the text short.
/// The arena adds `story`, the entries BattleStory::Tell gave for this snapshot, and `over` in the
/// final one. Recordings written before a field was added lack it: readers treat every field
/// after `shells` as optional.
nlohmann::json SnapshotJson(const Battle& battle, const DrawingBoard& board,
                            const std::vector<TimedBattleEvent>& events = {});

} // namespace botarena

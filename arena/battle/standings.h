#pragma once

#include "arena/battle/arena_robot.h"

#include <string>
#include <vector>

namespace botarena {

/// A robot as the ranking sees it: who it is and its figures over what is ranked (a round, or
/// the whole battle).
struct Contender {
    int id = 0;
    std::string name;
    RobotRecord record;
};

/// One robot's place.
struct Placing {
    int id = 0;
    int rank = 0;       ///< 1 is best [Limit: >= 1]
    double score = 0.0; ///< [Units: points]
};

/// The order of a round or of the battle.
struct Standings {
    std::vector<Placing> placings; ///< by rank
    int winnerId = 0;              ///< 0 for a draw, or when nobody was on the field
    std::string winnerName;

    /// Nothing when the robot is not ranked.
    const Placing* Of(int id) const;
};

/// Ranks the contenders: those that were on the field by score, ties broken by time alive, then
/// damage dealt (the higher first), then id (the lower first); those that never were, after
/// them by id. The winner is the first, unless nobody was on the field or the first two are
/// equal on everything but their id, which makes a draw.
Standings Rank(const std::vector<Contender>& contenders);

} // namespace botarena

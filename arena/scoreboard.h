#pragma once

#include "arena/battle/battle.h"
#include "arena/connection_record.h"

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace botarena {

/// How a battle ended and what it was played with.
struct BattleOutcome {
    std::string reason; ///< e.g. "duration reached"
    std::uint32_t seed = 0;
};

/// The table a person reads once the battle is over: a line per round when there were several,
/// one row per robot the battle keeps in the order of its rank, with its score and figures over
/// every round, a row summing up the forgotten ones (see kMaxKeptGoneRobots) and the winner.
/// Names and types are escaped (see EscapeText) and cut to their column.
void PrintScoreboard(std::ostream& out, const Battle& battle, const BattleOutcome& outcome);

/// The same figures, with each robot's identity and settings, each round's figures and the
/// per-connection figures.
nlohmann::json SummaryJson(const Battle& battle, const BattleOutcome& outcome,
                           const std::vector<std::shared_ptr<ConnectionRecord>>& connections,
                           const UnlistedConnections& unlisted);

} // namespace botarena

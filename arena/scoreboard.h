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

/// Robots that have left the field (destroyed or departed) listed one by one, in id order, on
/// the scoreboard and in the summary; those beyond are summed up in one row and in
/// `unlistedRobots`. Running and configuring robots are always listed.
constexpr int kMaxListedLeftRobots = 256;

/// The table a person reads at the end: one row per robot that took part (see
/// kMaxListedLeftRobots). Names and types are escaped (see EscapeText) and cut to their column.
void PrintScoreboard(std::ostream& out, const Battle& battle, const BattleOutcome& outcome);

/// The same figures, with each robot's identity and settings and the per-connection figures.
nlohmann::json SummaryJson(const Battle& battle, const BattleOutcome& outcome,
                           const std::vector<std::shared_ptr<ConnectionRecord>>& connections,
                           const UnlistedConnections& unlisted);

} // namespace botarena

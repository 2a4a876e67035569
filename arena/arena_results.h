#pragma once

#include "arena/arena_ports.h"
#include "arena/battle/battle.h"
#include "arena/protocol/event_log.h"

#include <cstdint>
#include <ostream>
#include <string>

namespace botarena {

/// What the arena tells of the battle's figures: the status line once a second of battle time,
/// and at the end the scoreboard and the JSON summary.
class ArenaResults {
  public:
    /// `out` (the scoreboard), `battle`, `ports` and `log` must outlive the results; the summary
    /// goes to `summaryPath`, or nowhere when it is empty.
    ArenaResults(std::ostream& out, std::string summaryPath, std::uint32_t seed,
                 const Battle& battle, const ArenaPorts& ports, EventLog& log);

    /// Logs the status line when the battle's clock has passed another whole second.
    void LogStatusEachSecond();
    void PrintScoreboard(const std::string& reason);
    /// Writes the summary, over again if it was written before.
    void WriteSummary(const std::string& reason);

    /// 0, or 1 when the summary could not be written.
    int ExitCode() const { return exitCode; }

  private:
    void LogStatus();

    std::ostream& out;
    std::string summaryPath;
    std::uint32_t seed;
    const Battle& battle;
    const ArenaPorts& ports;
    EventLog& log;
    std::uint64_t requestsAtLastStatus = 0;
    int nextStatusSecond = 1;
    int exitCode = 0;
};

} // namespace botarena

#include "arena/arena_results.h"

#include "arena/scoreboard.h"

#include <fstream>
#include <sstream>
#include <utility>

namespace botarena {

ArenaResults::ArenaResults(std::ostream& out, std::string summaryPath, std::uint32_t seed,
                           const Battle& battle, const ArenaPorts& ports, EventLog& log)
    : out(out), summaryPath(std::move(summaryPath)), seed(seed), battle(battle), ports(ports),
      log(log) {}

void ArenaResults::LogStatusEachSecond() {
    if (battle.Time() + 1e-9 >= nextStatusSecond) {
        LogStatus();
        ++nextStatusSecond;
    }
}

void ArenaResults::LogStatus() {
    const std::uint64_t requests = ports.RequestsServed();
    std::ostringstream text;
    text << "status: " << battle.RunningCount() << " robots running, " << battle.ShellCount()
         << " shells, " << ports.OpenConnections() << " connections, " << requests << " requests ("
         << requests - requestsAtLastStatus << " in the last second)";
    requestsAtLastStatus = requests;
    log.Line(text.str());
}

void ArenaResults::PrintScoreboard(const std::string& reason) {
    botarena::PrintScoreboard(out, battle, {reason, seed});
}

void ArenaResults::WriteSummary(const std::string& reason) {
    if (summaryPath.empty()) {
        return;
    }
    std::ofstream file(summaryPath);
    // Names are whatever bytes the clients sent: text that is not UTF-8 is written with
    // replacement characters rather than failing the whole summary.
    file << SummaryJson(battle, {reason, seed}, ports.Records(), ports.Unlisted())
                .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
         << '\n';
    file.close();
    if (!file) {
        log.Line("cannot write the summary to " + summaryPath);
        exitCode = 1;
    }
}

} // namespace botarena

#include "arena/scoreboard.h"

#include "arena/protocol/event_log.h"
#include "arena/viewer/robot_json.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>

namespace botarena {

namespace {

/// Column widths of the scoreboard's texts. [Units: bytes]
constexpr std::size_t kNameColumnBytes = 16;
constexpr std::size_t kTypeColumnBytes = 10;

/// "Bot 1 wins" or "draw". Escaped: for the console.
std::string WinnerText(const Standings& standings) {
    return standings.winnerId == 0 ? "draw" : EscapeText(standings.winnerName) + " wins";
}

nlohmann::json RoundJson(const RoundResult& round) {
    nlohmann::json robots = nlohmann::json::array();
    for (const Contender& contender : round.robots) {
        const RobotRecord& record = contender.record;
        nlohmann::json entry = {
            {"id", contender.id},
            {"timeAlive", record.timeAlive},
            {"distance", record.distance},
            {"shots", record.shots},
            {"hits", record.hits},
            {"damageDealt", record.damageDealt},
            {"damageTaken", record.damageTaken},
        };
        AddPlacing(entry, round.standings, contender.id, FigurePrecision::Exact);
        robots.push_back(std::move(entry));
    }
    return {
        {"round", round.number},
        {"reason", round.reason},
        {"duration", std::round(round.duration * 1e6) / 1e6},
        {"winner", WinnerJson(round.standings)},
        {"robots", std::move(robots)},
    };
}

nlohmann::json SettingsJson(const RobotSettings& settings) {
    return {
        {"engine", {settings.engine.maxSpeed, settings.engine.maxTurnRate}},
        {"scanner",
         {settings.scanner.range, settings.scanner.fieldOfView, settings.scanner.turnRate}},
        {"turret", {settings.turret.turnRate, settings.turret.sweepAngle}},
        {"gun",
         {settings.gun.speedTenths, settings.gun.range, settings.gun.damage,
          settings.gun.rechargeSeconds}},
        {"firstFitting", settings.armour},
        {"secondFitting", settings.repair},
    };
}

nlohmann::json ConnectionJson(const ConnectionRecord& record) {
    nlohmann::json entry = {
        {"id", record.id},
        {"kind", KindName(record.kind)},
        {"peer", record.peer},
        {"clientName", record.clientName},
        {"requestsServed", record.requestsServed},
        {"refusedRequests", record.refusedRequests},
        {"protocolErrors", record.protocolErrors},
        {"meanServiceMicroseconds", record.MeanServiceSeconds() * 1e6},
        {"worstServiceMicroseconds", record.worstServiceSeconds * 1e6},
        {"open", record.open},
        {"closeReason", record.closeReason},
    };
    if (record.robotId != 0) {
        entry["robotId"] = record.robotId;
    }
    return entry;
}

} // namespace

void PrintScoreboard(std::ostream& out, const Battle& battle, const BattleOutcome& outcome) {
    char line[240];
    std::snprintf(line, sizeof line, "Battle over after %.2f s: %s\n", battle.Time(),
                  EscapeText(outcome.reason).c_str());
    out << line;
    if (battle.Rounds().size() > 1) {
        for (const RoundResult& round : battle.Rounds()) {
            std::snprintf(line, sizeof line, "Round %d after %.2f s: %s; %s\n", round.number,
                          round.duration, EscapeText(round.reason).c_str(),
                          WinnerText(round.standings).c_str());
            out << line;
        }
    }
    std::snprintf(line, sizeof line, "%4s %4s  %-16s %-10s %8s %8s %9s %6s %5s %7s %7s  %s\n",
                  "rank", "id", "robot", "type", "score", "alive s", "distance", "shots", "hits",
                  "dealt", "taken", "state");
    out << line;
    const Standings& standings = battle.Overall();
    for (const Placing& placing : standings.placings) {
        const ArenaRobot* robot = battle.Find(placing.id);
        if (robot == nullptr) {
            continue;
        }
        const RobotRecord record = robot->Totals();
        // Escaped before the cut, and cut on a whole escape or character: a name cannot leave
        // half an escape sequence to swallow the rest of the table.
        std::snprintf(
            line, sizeof line, "%4d %4d  %-16s %-10s %8.2f %8.2f %9.2f %6d %5d %7.2f %7.2f  %s\n",
            placing.rank, placing.id, EscapeText(robot->Identity().name, kNameColumnBytes).c_str(),
            EscapeText(robot->Identity().type, kTypeColumnBytes).c_str(), placing.score,
            record.timeAlive, record.distance, record.shots, record.hits, record.damageDealt,
            record.damageTaken, StageName(robot->Stage()));
        out << line;
    }
    const ForgottenRobots& forgotten = battle.Forgotten();
    if (forgotten.count > 0) {
        std::snprintf(line, sizeof line, "%4s %4s  %-27s %8.2f %8s %9s %6d %5d %7.2f %7.2f  %s\n",
                      "...", "", (std::to_string(forgotten.count) + " more robots").c_str(),
                      forgotten.score, "", "", forgotten.shots, forgotten.hits,
                      forgotten.damageDealt, forgotten.damageTaken, "left");
        out << line;
    }
    if (standings.winnerId != 0) {
        out << "Winner: " << EscapeText(standings.winnerName) << '\n';
    } else {
        out << "Draw\n";
    }
    out.flush();
}

nlohmann::json SummaryJson(const Battle& battle, const BattleOutcome& outcome,
                           const std::vector<std::shared_ptr<ConnectionRecord>>& connections,
                           const UnlistedConnections& unlisted) {
    nlohmann::json summary = {
        // Whole microseconds: the sum of many steps carries rounding noise in its last digits.
        {"duration", std::round(battle.Time() * 1e6) / 1e6},
        {"reason", outcome.reason},
        {"seed", outcome.seed},
        {"field", {{"width", battle.Field().width}, {"height", battle.Field().height}}},
    };
    summary["winner"] = WinnerJson(battle.Overall());
    nlohmann::json robots = nlohmann::json::array();
    for (const auto& [id, robot] : battle.Robots()) {
        nlohmann::json entry = RobotJson(robot, FigurePrecision::Exact);
        AddPlacing(entry, battle.Overall(), id, FigurePrecision::Exact);
        entry["settings"] = SettingsJson(robot.Settings());
        robots.push_back(std::move(entry));
    }
    summary["robots"] = std::move(robots);
    const ForgottenRobots& forgotten = battle.Forgotten();
    summary["unlistedRobots"] = {{"count", forgotten.count},
                                 {"shots", forgotten.shots},
                                 {"hits", forgotten.hits},
                                 {"damageDealt", forgotten.damageDealt},
                                 {"damageTaken", forgotten.damageTaken},
                                 {"score", forgotten.score}};
    nlohmann::json rounds = nlohmann::json::array();
    for (const RoundResult& round : battle.Rounds()) {
        rounds.push_back(RoundJson(round));
    }
    summary["rounds"] = std::move(rounds);
    nlohmann::json listed = nlohmann::json::array();
    for (const auto& record : connections) {
        listed.push_back(ConnectionJson(*record));
    }
    summary["connections"] = std::move(listed);
    summary["unlistedConnections"] = {{"count", unlisted.count},
                                      {"requestsServed", unlisted.requestsServed},
                                      {"protocolErrors", unlisted.protocolErrors}};
    return summary;
}

} // namespace botarena

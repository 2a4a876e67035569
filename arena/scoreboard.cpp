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

/// Goes through the robots in id order and sums up those that have left the field beyond the
/// first kMaxListedLeftRobots.
struct UnlistedRobots {
    int listedLeft = 0;
    int count = 0;
    int shots = 0;
    int hits = 0;
    double damageDealt = 0.0;
    double damageTaken = 0.0;

    /// Whether the robot gets a row of its own; if not, it is added to the sums.
    bool Lists(const ArenaRobot& robot) {
        const RobotStage stage = robot.Stage();
        if (stage != RobotStage::Destroyed && stage != RobotStage::Departed) {
            return true;
        }
        if (listedLeft < kMaxListedLeftRobots) {
            ++listedLeft;
            return true;
        }
        const RobotRecord& record = robot.Record();
        ++count;
        shots += record.shots;
        hits += record.hits;
        damageDealt += record.damageDealt;
        damageTaken += record.damageTaken;
        return false;
    }
};

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
    char line[200];
    std::snprintf(line, sizeof line, "Battle over after %.2f s: %s\n", battle.Time(),
                  EscapeText(outcome.reason).c_str());
    out << line;
    std::snprintf(line, sizeof line, "%4s  %-16s %-10s %8s %9s %6s %5s %7s %7s  %s\n", "id",
                  "robot", "type", "alive s", "distance", "shots", "hits", "dealt", "taken",
                  "state");
    out << line;
    UnlistedRobots unlisted;
    for (const auto& [id, robot] : battle.Robots()) {
        if (!unlisted.Lists(robot)) {
            continue;
        }
        const RobotRecord& record = robot.Record();
        // Escaped before the cut, and cut on a whole escape or character: a name cannot leave
        // half an escape sequence to swallow the rest of the table.
        std::snprintf(line, sizeof line, "%4d  %-16s %-10s %8.2f %9.2f %6d %5d %7.2f %7.2f  %s\n",
                      id, EscapeText(robot.Identity().name, kNameColumnBytes).c_str(),
                      EscapeText(robot.Identity().type, kTypeColumnBytes).c_str(), record.timeAlive,
                      record.distance, record.shots, record.hits, record.damageDealt,
                      record.damageTaken, StageName(robot.Stage()));
        out << line;
    }
    if (unlisted.count > 0) {
        std::snprintf(line, sizeof line, "%4s  %-27s %8s %9s %6d %5d %7.2f %7.2f  %s\n", "...",
                      (std::to_string(unlisted.count) + " more robots").c_str(), "", "",
                      unlisted.shots, unlisted.hits, unlisted.damageDealt, unlisted.damageTaken,
                      "left");
        out << line;
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
    nlohmann::json robots = nlohmann::json::array();
    UnlistedRobots unlistedRobots;
    for (const auto& [id, robot] : battle.Robots()) {
        if (!unlistedRobots.Lists(robot)) {
            continue;
        }
        nlohmann::json entry = RobotJson(robot, FigurePrecision::Exact);
        entry["settings"] = SettingsJson(robot.Settings());
        robots.push_back(std::move(entry));
    }
    summary["robots"] = std::move(robots);
    summary["unlistedRobots"] = {{"count", unlistedRobots.count},
                                 {"shots", unlistedRobots.shots},
                                 {"hits", unlistedRobots.hits},
                                 {"damageDealt", unlistedRobots.damageDealt},
                                 {"damageTaken", unlistedRobots.damageTaken}};
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

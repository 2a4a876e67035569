#include "arena/scoreboard.h"

#include "arena/viewer/robot_json.h"

#include <cmath>
#include <cstdio>

namespace botarena {

namespace {

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
                  outcome.reason.c_str());
    out << line;
    std::snprintf(line, sizeof line, "%4s  %-16.16s %-10.10s %8s %9s %6s %5s %7s %7s  %s\n", "id",
                  "robot", "type", "alive s", "distance", "shots", "hits", "dealt", "taken",
                  "state");
    out << line;
    for (const auto& [id, robot] : battle.Robots()) {
        const RobotRecord& record = robot.Record();
        std::snprintf(line, sizeof line,
                      "%4d  %-16.16s %-10.10s %8.2f %9.2f %6d %5d %7.2f %7.2f  %s\n", id,
                      robot.Identity().name.c_str(), robot.Identity().type.c_str(),
                      record.timeAlive, record.distance, record.shots, record.hits,
                      record.damageDealt, record.damageTaken, StageName(robot.Stage()));
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
    for (const auto& [id, robot] : battle.Robots()) {
        nlohmann::json entry = RobotJson(robot, FigurePrecision::Exact);
        entry["settings"] = SettingsJson(robot.Settings());
        robots.push_back(std::move(entry));
    }
    summary["robots"] = std::move(robots);
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

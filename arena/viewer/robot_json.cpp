#include "arena/viewer/robot_json.h"

#include <cmath>

namespace botarena {

namespace {

double Figure(double value, FigurePrecision precision) {
    return precision == FigurePrecision::Thousandth ? std::round(value * 1e3) / 1e3 : value;
}

} // namespace

void AddPlacing(nlohmann::json& entry, const Standings& standings, int id,
                FigurePrecision precision) {
    if (const Placing* placing = standings.Of(id)) {
        entry["rank"] = placing->rank;
        entry["score"] = Figure(placing->score, precision);
    }
}

nlohmann::json WinnerJson(const Standings& standings) {
    if (standings.winnerId == 0) {
        return nullptr;
    }
    return {{"id", standings.winnerId}, {"name", standings.winnerName}};
}

nlohmann::json RobotJson(const ArenaRobot& robot, FigurePrecision precision) {
    auto figure = [precision](double value) { return Figure(value, precision); };
    const RobotIdentity& identity = robot.Identity();
    const RobotRecord record = robot.Totals();
    return {
        {"id", robot.Id()},
        {"name", identity.name},
        {"type", identity.type},
        {"colour", {identity.red, identity.green, identity.blue}},
        {"builtIn", robot.IsBuiltIn()},
        {"state", StageName(robot.Stage())},
        {"hitPoints", figure(robot.HitPoints())},
        {"shots", record.shots},
        {"hits", record.hits},
        {"damageDealt", figure(record.damageDealt)},
        {"damageTaken", figure(record.damageTaken)},
        {"timeAlive", figure(record.timeAlive)},
        {"distance", figure(record.distance)},
    };
}

} // namespace botarena

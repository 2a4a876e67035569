#include "arena/snapshot.h"

#include <cmath>

namespace botarena {

namespace {

/// Positions and angles to a ten-thousandth: far below a pixel. [Units: field units, radians]
double Fine(double value) {
    return std::round(value * 1e4) / 1e4;
}
/// Scoreboard figures to a thousandth: the table shows two decimals.
double Figure(double value) {
    return std::round(value * 1e3) / 1e3;
}

nlohmann::json RobotJson(const ArenaRobot& robot) {
    const RobotIdentity& identity = robot.Identity();
    const RobotRecord& record = robot.Record();
    const ScannerSettings& scanner = robot.Settings().scanner;
    return {
        {"id", robot.Id()},
        {"name", identity.name},
        {"type", identity.type},
        {"colour", {identity.red, identity.green, identity.blue}},
        {"builtIn", robot.IsBuiltIn()},
        {"state", StageName(robot.Stage())},
        {"x", Fine(robot.Body().x)},
        {"y", Fine(robot.Body().y)},
        {"heading", Fine(robot.Body().heading)},
        {"scannerHeading", Fine(robot.ScannerHeading())},
        {"scannerRange", scanner.range},
        {"scannerFieldOfView", scanner.fieldOfView},
        {"hitPoints", Figure(robot.HitPoints())},
        {"armour", robot.Settings().armour},
        {"shots", record.shots},
        {"hits", record.hits},
        {"damageDealt", Figure(record.damageDealt)},
        {"damageTaken", Figure(record.damageTaken)},
        {"timeAlive", Figure(record.timeAlive)},
        {"distance", Figure(record.distance)},
    };
}

nlohmann::json LayerJson(const DrawingLayer& layer) {
    nlohmann::json cells = nlohmann::json::array();
    for (const auto& [id, cell] : layer.cells) {
        cells.push_back({Fine(cell.x), Fine(cell.y), Fine(cell.halfWidth), Fine(cell.halfHeight),
                         cell.red, cell.green, cell.blue});
    }
    return {{"connection", layer.connectionId}, {"client", layer.clientName}, {"cells", cells}};
}

} // namespace

nlohmann::json SnapshotJson(const Battle& battle, const DrawingBoard& board) {
    nlohmann::json robots = nlohmann::json::array();
    for (const auto& [id, robot] : battle.Robots()) {
        robots.push_back(RobotJson(robot));
    }
    nlohmann::json shells = nlohmann::json::array();
    for (const Shell& shell : battle.Shells()) {
        shells.push_back({{"id", shell.id},
                          {"owner", shell.ownerId},
                          {"x", Fine(shell.position.x)},
                          {"y", Fine(shell.position.y)},
                          {"vx", Fine(shell.velocity.x)},
                          {"vy", Fine(shell.velocity.y)}});
    }
    nlohmann::json drawings = nlohmann::json::array();
    for (const auto& [id, layer] : board.Layers()) {
        drawings.push_back(LayerJson(layer));
    }
    return {
        // Whole microseconds: the sum of many steps carries rounding noise in its last digits.
        {"time", std::round(battle.Time() * 1e6) / 1e6},
        {"field", {{"width", battle.Field().width}, {"height", battle.Field().height}}},
        {"robots", std::move(robots)},
        {"shells", std::move(shells)},
        {"drawings", std::move(drawings)},
    };
}

} // namespace botarena

#include "arena/viewer/snapshot.h"

#include "arena/viewer/robot_json.h"

#include <cmath>

namespace botarena {

namespace {

/// Positions and angles to a ten-thousandth: far below a pixel. [Units: field units, radians]
double Fine(double value) {
    return std::round(value * 1e4) / 1e4;
}

/// A robot as the picture needs it: the figures the summary has too, and where it stands and
/// what it sees.
nlohmann::json RobotEntry(const ArenaRobot& robot) {
    const ScannerSettings& scanner = robot.Settings().scanner;
    nlohmann::json entry = RobotJson(robot, FigurePrecision::Thousandth);
    entry["x"] = Fine(robot.Body().x);
    entry["y"] = Fine(robot.Body().y);
    entry["heading"] = Fine(robot.Body().heading);
    entry["scannerHeading"] = Fine(robot.ScannerHeading());
    entry["scannerRange"] = scanner.range;
    entry["scannerFieldOfView"] = scanner.fieldOfView;
    entry["armour"] = robot.Settings().armour;
    return entry;
}

nlohmann::json LayerJson(const Battle& battle, const DrawingLayer& layer) {
    nlohmann::json cells = nlohmann::json::array();
    for (const auto& [id, cell] : layer.cells) {
        cells.push_back({Fine(cell.x), Fine(cell.y), Fine(cell.halfWidth), Fine(cell.halfHeight),
                         cell.red, cell.green, cell.blue});
    }
    nlohmann::json entry = {{"connection", layer.connectionId}, {"client", layer.clientName}};
    if (const ArenaRobot* robot = battle.Find(layer.robotId)) {
        entry["robot"] = {{"id", robot->Id()}, {"name", robot->Identity().name}};
    }
    if (layer.lastDrawn >= 0.0) {
        entry["lastDrawn"] = Fine(layer.lastDrawn);
    }
    entry["cells"] = std::move(cells);
    return entry;
}

nlohmann::json EventJson(const TimedBattleEvent& timed) {
    const BattleEvent& event = timed.event;
    nlohmann::json entry = {{"time", Fine(timed.time)},
                            {"kind", event.kind == BattleEvent::Kind::Hit ? "hit" : "destroyed"},
                            {"robot", event.targetId},
                            {"by", event.shooterId}};
    if (event.kind == BattleEvent::Kind::Hit) {
        entry["damage"] = std::round(event.damage * 1e3) / 1e3;
        entry["hitPoints"] = std::round(event.hitPoints * 1e3) / 1e3;
    }
    return entry;
}

} // namespace

nlohmann::json SnapshotJson(const Battle& battle, const DrawingBoard& board,
                            const std::vector<TimedBattleEvent>& events) {
    nlohmann::json robots = nlohmann::json::array();
    for (const auto& [id, robot] : battle.Robots()) {
        robots.push_back(RobotEntry(robot));
        if (battle.IsOver()) {
            AddPlacing(robots.back(), battle.Overall(), id, FigurePrecision::Thousandth);
        }
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
        drawings.push_back(LayerJson(battle, layer));
    }
    nlohmann::json snapshot = {
        // Whole microseconds: the sum of many steps carries rounding noise in its last digits.
        {"time", std::round(battle.Time() * 1e6) / 1e6},
        {"field", {{"width", battle.Field().width}, {"height", battle.Field().height}}},
        {"robots", std::move(robots)},
        {"shells", std::move(shells)},
        {"drawings", std::move(drawings)},
    };
    if (!events.empty()) {
        nlohmann::json& list = snapshot["events"] = nlohmann::json::array();
        for (const TimedBattleEvent& event : events) {
            list.push_back(EventJson(event));
        }
    }
    if (battle.Round() > 1) {
        snapshot["round"] = battle.Round();
    }
    if (battle.IsOver()) {
        snapshot["winner"] = WinnerJson(battle.Overall());
    }
    return snapshot;
}

} // namespace botarena

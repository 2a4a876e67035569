#include "arena/viewer/robot_json.h"

#include <cmath>

namespace botarena {

nlohmann::json RobotJson(const ArenaRobot& robot, FigurePrecision precision) {
    auto figure = [precision](double value) {
        return precision == FigurePrecision::Thousandth ? std::round(value * 1e3) / 1e3 : value;
    };
    const RobotIdentity& identity = robot.Identity();
    const RobotRecord& record = robot.Record();
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

#include "arena/viewer/story_step.h"

#include <cmath>

namespace botarena {

namespace {

double Rounded(double value, double scale) {
    return std::round(value * scale) / scale;
}

} // namespace

StoryStep StoryStepOf(const Battle& battle, const std::vector<TimedBattleEvent>& events) {
    StoryStep step;
    step.time = Rounded(battle.Time(), 1e6);
    step.events.reserve(events.size());
    for (TimedBattleEvent timed : events) {
        timed.time = Rounded(timed.time, 1e4);
        timed.event.damage = Rounded(timed.event.damage, 1e3);
        timed.event.hitPoints = Rounded(timed.event.hitPoints, 1e3);
        step.events.push_back(timed);
    }
    step.robots.reserve(battle.Robots().size());
    for (const auto& [id, robot] : battle.Robots()) {
        const RobotIdentity& identity = robot.Identity();
        step.robots.push_back({id,
                               identity.name,
                               {identity.red, identity.green, identity.blue},
                               robot.Settings().armour,
                               robot.Stage(),
                               Rounded(robot.HitPoints(), 1e3)});
    }
    return step;
}

} // namespace botarena

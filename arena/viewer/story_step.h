#pragma once

#include "arena/battle/arena_robot.h"
#include "arena/battle/battle.h"
#include "arena/viewer/snapshot.h"

#include <array>
#include <string>
#include <vector>

namespace botarena {

/// A robot as a step of the battle leaves it, as far as its story needs: who it is, where it
/// stands in the battle and its hit points.
struct StoryRobot {
    int id = 0;
    std::string name;
    std::array<int, 3> colour = {200, 200, 200}; ///< [r, g, b]
    double armour = 0.0;
    RobotStage stage = RobotStage::Configuring;
    double hitPoints = 0.0; ///< to a thousandth, as the viewer shows it
};

/// What the story is told from at one snapshot: the battle's hits and destructions since the
/// previous one, and every robot as the step leaves it. Joins, departures and hit-point changes
/// are what differs from the robots told before.
struct StoryStep {
    double time = 0.0; ///< of the snapshot [Units: s]
    std::vector<TimedBattleEvent> events;
    std::vector<StoryRobot> robots;
};

/// The step as the battle leaves it, with the events kept for its snapshot. Rounded as the
/// snapshot rounds (time to a microsecond, event times to a ten-thousandth, figures to a
/// thousandth), so that a recording that tells it from the snapshot tells the same.
StoryStep StoryStepOf(const Battle& battle, const std::vector<TimedBattleEvent>& events);

} // namespace botarena

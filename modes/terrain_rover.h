#pragma once

#include "geometry/cached_feature.h"
#include "geometry/feature_sum.h"
#include "robot/body.h"
#include "robot/path_chooser.h"
#include "robot/robot_path.h"
#include "world/terrain.h"

#include <vector>

namespace botpilot {

/// Drives the body over the danger map: each cycle it proposes a fixed fan of engine commands,
/// predicts where each would take the robot over the next quarter second, lets the path chooser
/// pick the one that stays lowest on the terrain, and sets the engine to it. Keeps nothing that
/// one cycle's decision could see of another's.
class TerrainRover {
  public:
    /// `body` and `terrain` belong to the robot and must outlive the rover.
    TerrainRover(Body& body, const Terrain& terrain);

    /// The 72 candidates, for the body's present heading h: for speeds 100, 50, 25 and 12.5,
    /// first {v, h} (h as read), then {v, N(h) + o}, {v, N(h) - o} for o = 0.1, 0.3, ... 1.5
    /// (N normalises into (-pi, pi]); then the reverse commands {-100, h}, {-100, N(h) + pi/2},
    /// {-100, N(h) - pi/2}; last the stop {0, h}.
    std::vector<EngineCommand> GenerateCommands() const;
    /// The same candidates, into `commands` (emptied first), whose storage is then reused.
    void GenerateCommands(std::vector<EngineCommand>& commands) const;

    /// Chooses one candidate and sets the engine: stops when none qualifies, and stops and turns
    /// about instead of reversing unless the robot stands on high ground (50 or more).
    /// Server errors of the engine requests propagate.
    void Update();

  private:
    Body& body;             // the robot's: outlives the rover
    const Terrain& terrain; // the robot's: outlives the rover
    // The cells of each update's terrain cache, kept so that an update allocates and clears
    // only what it uses; every cell is empty again when an update ends.
    FeatureMemo terrainMemo;
    // The terrain's terms, gathered afresh for every update: the cache asks for the terrain at
    // every cell it fills, and the flat list spares each of those the walk through the sources.
    FeatureSum terrainTerms;
    // The trigonometry the candidates work out, cleared for every update: they share most of it.
    TrigMemo trig;
    // The working lists of an update, kept for their storage only.
    std::vector<EngineCommand> commands;
    std::vector<RobotPath> paths;
    PathList candidates;
};

} // namespace botpilot

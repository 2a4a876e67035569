#pragma once

#include "robot/body.h"
#include "robot/robot_path.h"
#include "world/terrain.h"

#include <vector>

namespace botpilot {

/// Drives the body over the danger map: each cycle it proposes a fixed fan of engine commands,
/// predicts where each would take the robot over the next quarter second, lets the path chooser
/// pick the one that stays lowest on the terrain, and sets the engine to it. Keeps no state
/// between cycles.
class TerrainRover {
  public:
    /// `body` and `terrain` belong to the robot and must outlive the rover.
    TerrainRover(Body& body, const Terrain& terrain);

    /// The 72 candidates, for the body's present heading h: for speeds 100, 50, 25 and 12.5,
    /// first {v, h} (h as read), then {v, N(h) + o}, {v, N(h) - o} for o = 0.1, 0.3, ... 1.5
    /// (N normalises into (-pi, pi]); then the reverse commands {-100, h}, {-100, N(h) + pi/2},
    /// {-100, N(h) - pi/2}; last the stop {0, h}.
    std::vector<EngineCommand> GenerateCommands() const;

    /// Chooses one candidate and sets the engine: stops when none qualifies, and stops and turns
    /// about instead of reversing unless the robot stands on high ground (50 or more).
    /// Server errors of the engine requests propagate.
    void Update();

  private:
    Body& body;             // the robot's: outlives the rover
    const Terrain& terrain; // the robot's: outlives the rover
};

} // namespace botpilot

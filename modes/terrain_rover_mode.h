#pragma once

#include "geometry/feature.h"
#include "modes/terrain_rover.h"
#include "robot/mode.h"

#include <memory>

namespace botpilot {

/// The base of the modes that drive the body over the danger map with a `TerrainRover`. A
/// subclass gives its name and score, and may lend the terrain an extra feature of its own
/// (`GetExtraFeature`) that counts only during its own update.
class TerrainRoverMode : public Mode {
  public:
    /// Stores the robot, registers the body, then creates the rover on the robot's body and
    /// terrain.
    void Attach(Robot& robot) override;

    /// Adds the extra feature (if any) to the robot's terrain, runs the rover, draws the terrain
    /// while drawing is switched on, and removes the extra feature again: on every way out,
    /// including a failed engine request or drawing connection.
    void Update() override;

    /// A feature to add to the terrain for the length of this mode's update; none here. It must
    /// live as long as the mode.
    virtual const Feature* GetExtraFeature() const { return nullptr; }

  protected:
    TerrainRoverMode() = default;

  private:
    std::unique_ptr<TerrainRover> rover; // created by Attach, kept for the mode's life
};

} // namespace botpilot

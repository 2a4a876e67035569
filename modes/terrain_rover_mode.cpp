#include "modes/terrain_rover_mode.h"

#include "link/settings.h"
#include "link/terrain_drawing.h"
#include "robot/robot.h"
#include "world/terrain.h"

#include <cassert>

namespace botpilot {

namespace {

/// Lends a feature to a terrain for the length of a scope. The feature must never outstay the
/// update that added it: a failed server request leaving it behind would make other modes score
/// on it (the evade mode's danger, for one).
class LentFeature {
  public:
    LentFeature(Terrain& terrain, const Feature* feature) : terrain(terrain), feature(feature) {
        if (feature != nullptr) {
            terrain.AddSource(*feature);
        }
    }
    ~LentFeature() {
        if (feature != nullptr) {
            terrain.RemoveSource(*feature);
        }
    }
    LentFeature(const LentFeature&) = delete;
    LentFeature& operator=(const LentFeature&) = delete;

  private:
    Terrain& terrain;
    const Feature* feature;
};

} // namespace

void TerrainRoverMode::Attach(Robot& robot) {
    Mode::Attach(robot);
    AddResource(robot.body);
    rover = std::make_unique<TerrainRover>(robot.body, robot.terrain);
}

void TerrainRoverMode::Update() {
    assert(rover != nullptr); // never updated before Attach
    Terrain& terrain = GetRobot().terrain;
    const LentFeature lent(terrain, GetExtraFeature());
    rover->Update();
    // The drawing shows the terrain the rover has just chosen on, extra feature included.
    if (ProcessSettings().drawing) {
        DrawTerrain(terrain);
    }
}

} // namespace botpilot

#pragma once

#include "modes/terrain_rover_mode.h"

#include <string>

namespace botpilot {

/// Takes over the body when the robot stands in a dangerous place and drives it to safer ground
/// over the plain terrain (walls, seen robots, seen objects), with no feature of its own.
class EvadeMode final : public TerrainRoverMode {
  public:
    EvadeMode() = default;

    std::string GetName() const override { return "Evade"; }

    /// 0.9 when the terrain under the body is higher than 70 (strictly), else 0. The highest
    /// score of all modes, so danger always wins the body. Sends nothing.
    double GetDesirability() override;
};

} // namespace botpilot

#pragma once

#include "geometry/feature.h"
#include "geometry/point.h"
#include "modes/terrain_rover_mode.h"

#include <string>

namespace botpilot {

/// The body's idle behaviour: patrols back and forth along the middle line of the playing field,
/// heading for a goal one unit from one end wall and switching to the other end on coming within
/// three units of a wall. Its `Feature` side is a well around the goal that it lends the terrain
/// during its own update, so the rover is drawn to the goal while still avoiding walls, robots
/// and objects.
class RoveMode final : public TerrainRoverMode, public Feature {
  public:
    /// Places the goals from the playing field's present size (fetched from the server before
    /// the modes are built) and heads for the left one first.
    RoveMode();

    std::string GetName() const override { return "Rove"; }

    /// Always 0.1: the body's fallback.
    double GetDesirability() override { return 0.1; }

    /// Switches the goal when the body is near an end, then runs the rover with the goal's well.
    void Update() override;

    /// This mode's own `Feature` side.
    const Feature* GetExtraFeature() const override { return this; }

    /// The goal's attraction at (x, y): a narrow Gaussian well of depth 30 and width 3 on a
    /// slope from -4 at distance 1 to 0 at distance 50. -34 at the goal, 0 from 50 away on.
    double Height(double x, double y) const override;

    /// The point the robot is heading for now. [Units: world units]
    Point Goal() const { return goal; }

  private:
    Point leftGoal;  ///< one unit in from the left wall, on the middle line
    Point rightGoal; ///< one unit in from the right wall, on the middle line
    Point goal;      ///< kept from cycle to cycle
};

} // namespace botpilot

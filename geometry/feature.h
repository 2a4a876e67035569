#pragma once

namespace botpilot {

/// A potential field over the plane. All features add up into the terrain that the rover modes
/// descend; higher is more dangerous.
class Feature {
  public:
    virtual ~Feature() = default;

    /// The value of the field at the world point (x, y).
    virtual double Height(double x, double y) const = 0;

  protected:
    Feature() = default;
    Feature(const Feature&) = default;
    Feature& operator=(const Feature&) = default;
};

} // namespace botpilot

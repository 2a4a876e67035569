#pragma once

namespace botpilot {

class FeatureSum;

/// A potential field over the plane. All features add up into the terrain that the rover modes
/// descend; higher is more dangerous.
class Feature {
  public:
    virtual ~Feature() = default;

    /// The value of the field at the world point (x, y).
    virtual double Height(double x, double y) const = 0;

    /// Adds to `sum` the terms whose sum is exactly this feature's height, for a decision that
    /// asks for many heights while the feature stays as it is: by default the feature itself,
    /// asked at every point. A composite adds its parts as a group, summed as it sums them.
    virtual void AddTerms(FeatureSum& sum) const;

  protected:
    Feature() = default;
    Feature(const Feature&) = default;
    Feature& operator=(const Feature&) = default;
};

} // namespace botpilot

#pragma once

#include "geometry/feature.h"

#include <vector>

namespace botpilot {

/// The danger map the robot steers by: the sum of the heights of a list of other features (the
/// walls, the seen objects, the seen robots, and for one update a rover's own feature). It holds
/// no heights of its own and owns none of its sources.
class Terrain final : public Feature {
  public:
    /// The sum of the sources' heights in list order, from 0.0; timed as "Terrain::Height".
    double Height(double x, double y) const override;
    /// Its sources' terms, in list order, as one group.
    void AddTerms(FeatureSum& sum) const override;

    /// Appends `source`; the same feature may be added more than once. `source` must outlive its
    /// place in the list.
    void AddSource(const Feature& source);
    /// Removes every entry of `source`, keeping the others in order; nothing if it is absent.
    void RemoveSource(const Feature& source);

  private:
    std::vector<const Feature*> sources; // borrowed: each must outlive its place in the list
};

} // namespace botpilot

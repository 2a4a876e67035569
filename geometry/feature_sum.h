#pragma once

#include "geometry/feature.h"
#include "geometry/interpolation.h"

#include <cstddef>
#include <vector>

namespace botpilot {

/// A sum of features laid out flat for one decision: the terms a composite feature (the terrain,
/// an object field) would ask of its parts at every point, gathered once through
/// `Feature::AddTerms`, so that a height is one pass over a list instead of a walk through the
/// parts, their containers and their memos. Each group of terms is summed from 0.0 in the order
/// added and then added to the group around it, exactly as the composites sum their parts, so
/// every height is bit for bit the composite's. Valid while the gathered features do not change;
/// `Clear` and gather again for the next decision (the storage is kept).
class FeatureSum final : public Feature {
  public:
    /// How deeply groups may nest.
    static constexpr int kMaxDepth = 8;

    FeatureSum() = default;
    FeatureSum(const FeatureSum&) = delete;
    FeatureSum& operator=(const FeatureSum&) = delete;

    /// Forgets every term.
    void Clear();

    /// Adds an opaque term: `feature`'s own height, asked at every point. `feature` must outlive
    /// its place in the sum.
    void AddFeature(const Feature& feature);
    /// Adds a ridge, copied.
    void AddRidge(const SegmentRidge& ridge);
    /// Starts a group: the terms up to the matching `CloseGroup` are summed from 0.0 and the sum
    /// is added as one term. Throws std::length_error beyond `kMaxDepth` open groups.
    void OpenGroup();
    /// Ends the innermost open group. Throws std::logic_error when none is open.
    void CloseGroup();

    /// The sum of the top-level terms from 0.0, in the order added. Every group must be closed.
    double Height(double x, double y) const override;

  private:
    enum class Kind { Feature, Ridges, Open, Close };
    struct Term {
        Kind kind;
        std::size_t count;      ///< for `Kind::Ridges`: how many follow one another
        const Feature* feature; ///< for `Kind::Feature`; borrowed
    };

    std::vector<Term> terms;
    std::vector<SegmentRidge> ridges; ///< in the order of their terms
    int depth = 0;                    ///< groups open while gathering
};

} // namespace botpilot

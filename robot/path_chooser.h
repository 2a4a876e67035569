#pragma once

#include "geometry/feature.h"
#include "geometry/path.h"
#include "geometry/point.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace botpilot {

/// The point of `path` at t, clamped into the playing field. [Units: s]
Point ClampedPointAt(const Path& path, double t);

/// Candidate paths, borrowed from the caller for the length of one call.
using PathList = std::vector<std::reference_wrapper<const Path>>;

/// How a path fares on a height field over the next `horizon` seconds, sampled at the path's
/// clamped points at t = 0, step, 2·step, ... while t <= horizon, with step = horizon / 10 (11
/// samples, the last at or a hair below the horizon).
struct PathInfo {
    /// Samples the path. `horizon` is in seconds. [Limit: 0 < horizon < infinity]
    /// Throws std::invalid_argument for a horizon that cannot be sampled.
    PathInfo(const Path& path, const Feature& heightSource, double horizon);

    /// The highest height sampled, but never below -1,000,000, the value it starts from.
    double maxHeight = -1000000.0;
    /// The height at the last sample.
    double endHeight = 0.0;
    /// Straight-line distance between the clamped points at 0 and at the horizon.
    double displacement = 0.0;
};

/// Picks, among candidate paths over the next moment, the one that keeps the robot lowest on a
/// height field: of the paths that never climb to a limit (65, then 80, then 95), the one that
/// ends lowest; failing that, the one that gets farthest. A copyable value.
class PathChooser {
  public:
    /// `heightSource` must outlive the chooser. [Units: horizon in s]
    /// [Limit: 0 < horizon < infinity] Throws std::invalid_argument for another horizon.
    PathChooser(const Feature& heightSource, double horizon);

    /// The 0-based index of the chosen path, or -1 when none qualifies (an empty list included).
    /// Of equal candidates the earlier one wins.
    std::int32_t Choose(const PathList& paths) const;

    /// One `PathInfo` per path, in the order of the paths.
    /// Throws std::invalid_argument for a horizon that cannot be sampled, even with no paths.
    static std::vector<PathInfo> CalculatePathInfo(const PathList& paths,
                                                   const Feature& heightSource, double horizon);

  private:
    const Feature* heightSource; ///< borrowed; never null
    double horizon;              ///< [Units: s]
};

} // namespace botpilot

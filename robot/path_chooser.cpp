#include "robot/path_chooser.h"

#include "diagnostics/timer.h"
#include "world/playing_field.h"

#include <cmath>
#include <sstream>
#include <stdexcept>
#include <string>

namespace botpilot {

namespace {

// Height limits tried in turn: a path qualifies only if it stays strictly below the limit.
constexpr double kFirstHeightLimit = 65.0;
constexpr double kHeightLimitStep = 15.0;
constexpr double kLastHeightLimit = 95.0;

// Above every final height that can win: a path ending at this height or higher never does.
constexpr double kUnreachableEndHeight = 1000000.0;

// A squared displacement below the farthest's square times this cannot get farther: the margin
// is some 10^10 times the relative rounding error of the squares and of hypot.
constexpr double kSquareMargin = 0.999999;
// The squares are compared only above this, far from the subnormal range where their rounding
// is no longer relative.
constexpr double kSmallestBoundedSquare = 1e-200;

// The sampling step is a tenth of the horizon.
constexpr double kStepFraction = 0.1;

[[noreturn]] void ThrowBadHorizon(const char* prefix, double horizon, const char* suffix) {
    std::ostringstream text;
    text << prefix << horizon << suffix;
    throw std::invalid_argument(text.str());
}

// The sampling loop steps by a tenth of the horizon until it passes the horizon: with 0 (or a
// horizon so small that its tenth rounds to 0) it would never end, and with infinity it would
// never pass it. A negative horizon would take no sample at all.
void CheckHorizon(double horizon) {
    if (!(horizon > 0.0)) {
        ThrowBadHorizon("Horizon must be positive, got ", horizon, "");
    }
    if (std::isinf(horizon)) {
        ThrowBadHorizon("Horizon must be finite, got ", horizon, "");
    }
    if (!(horizon * kStepFraction > 0.0)) {
        ThrowBadHorizon("Horizon of ", horizon, " s is too short to be sampled");
    }
}

/// The heights a path meets over the horizon, and its first clamped point.
struct HeightProfile {
    double maxHeight = -1000000.0;
    double endHeight = 0.0;
    Point start;
};

/// The playing field's bounds, read once for the many points of a decision: the field works them
/// out from its size at every call, and cannot know that the paths' calls leave it unchanged.
struct FieldBounds {
    explicit FieldBounds(const PlayingField& field)
        : minX(field.MinX()), maxX(field.MaxX()), minY(field.MinY()), maxY(field.MaxY()) {}

    /// `PlayingField::Clamp`, test for test.
    Point Clamp(Point p) const {
        if (p.x < minX) {
            p.x = minX;
        } else if (p.x > maxX) {
            p.x = maxX;
        }
        if (p.y < minY) {
            p.y = minY;
        } else if (p.y > maxY) {
            p.y = maxY;
        }
        return p;
    }

    double minX;
    double maxX;
    double minY;
    double maxY;
};

// Inline: it runs at every point sampled, and a call of its own costs as much as the clamping.
inline Point ClampedPoint(const Path& path, double t, const FieldBounds& bounds) {
    return bounds.Clamp(path.PointAt(t));
}

/// Samples the heights of `path` at t = 0, step, 2·step, ... while t <= horizon.
HeightProfile SampleHeights(const Path& path, const Feature& heightSource, double horizon,
                            const FieldBounds& field) {
    HeightProfile profile;
    const double step = horizon * kStepFraction;
    // The first sample, at t = 0, is also the point the displacement is measured from: a path's
    // point at a given time is always the same, so it is worked out once.
    profile.start = ClampedPoint(path, 0.0, field);
    // t is accumulated rather than computed as a multiple of the step, so the last sample falls
    // at or a hair below the horizon: 11 samples for the horizons in use.
    double t = 0.0;
    Point p = profile.start;
    for (;;) {
        const double h = heightSource.Height(p.x, p.y);
        profile.endHeight = h;
        if (h > profile.maxHeight) {
            profile.maxHeight = h;
        }
        t = step + t;
        if (!(t <= horizon)) {
            break;
        }
        p = ClampedPoint(path, t, field);
    }
    return profile;
}

/// How far the path's clamped points at 0 (`start`) and at the horizon lie apart.
double Displacement(const Path& path, double horizon, Point start, const FieldBounds& field) {
    const Point end = ClampedPoint(path, horizon, field);
    return std::hypot(end.x - start.x, end.y - start.y);
}

} // namespace

Point ClampedPointAt(const Path& path, double t) {
    return ClampedPoint(path, t, FieldBounds(PlayingField::Instance()));
}

PathInfo::PathInfo(const Path& path, const Feature& heightSource, double horizon) {
    CheckHorizon(horizon);
    const FieldBounds field(PlayingField::Instance());
    const HeightProfile profile = SampleHeights(path, heightSource, horizon, field);
    maxHeight = profile.maxHeight;
    endHeight = profile.endHeight;
    displacement = Displacement(path, horizon, profile.start, field);
}

PathChooser::PathChooser(const Feature& heightSource, double horizon)
    : heightSource(&heightSource), horizon(horizon) {
    CheckHorizon(horizon);
}

std::vector<PathInfo> PathChooser::CalculatePathInfo(const PathList& paths,
                                                     const Feature& heightSource, double horizon) {
    Timer timer("PathChooser::CalculatePathInfo");
    CheckHorizon(horizon);
    std::vector<PathInfo> infos;
    infos.reserve(paths.size());
    for (const Path& path : paths) {
        infos.emplace_back(path, heightSource, horizon);
    }
    return infos;
}

std::int32_t PathChooser::Choose(const PathList& paths) const {
    Timer timer("PathChooser::Choose");
    const FieldBounds field(PlayingField::Instance());
    const auto count = static_cast<std::int32_t>(paths.size());
    // One pass over the paths serves every limit at once: each limit keeps its own lowest-ending
    // path, exactly as a pass of its own would find it, and the first limit (in the order they
    // are tried) that found one decides. Comparisons are strict, so of equal final heights the
    // earlier path wins; a path ending at kUnreachableEndHeight or higher never does.
    constexpr int kLimits = 3;
    constexpr double limits[kLimits] = {kFirstHeightLimit, kFirstHeightLimit + kHeightLimitStep,
                                        kFirstHeightLimit + 2 * kHeightLimitStep};
    static_assert(kFirstHeightLimit + 2 * kHeightLimitStep == kLastHeightLimit,
                  "the limits tried are 65, 80 and 95");
    std::int32_t lowest[kLimits] = {-1, -1, -1};
    double lowestEnd[kLimits] = {kUnreachableEndHeight, kUnreachableEndHeight,
                                 kUnreachableEndHeight};
    // Failing every limit: the path that gets farthest, the earlier of equals. A path that does
    // not move never wins.
    std::int32_t farthest = -1;
    double farthestDisplacement = 0.0;
    // Its square less a margin far wider than the rounding of either square or hypot: a path
    // whose squared displacement lies below it cannot get farther, and needs no hypot. Only once
    // the square is a normal number well clear of underflow, where that rounding is relative.
    double farthestSquareBound = 0.0;
    {
        // The paths' figures, in path order, worked out as CalculatePathInfo works them out.
        Timer infoTimer("PathChooser::CalculatePathInfo");
        for (std::int32_t i = 0; i < count; ++i) {
            const Path& path = paths[static_cast<std::size_t>(i)];
            const HeightProfile profile = SampleHeights(path, *heightSource, horizon, field);
            for (int limit = 0; limit < kLimits; ++limit) {
                if (profile.endHeight < lowestEnd[limit] && profile.maxHeight < limits[limit]) {
                    lowest[limit] = i;
                    lowestEnd[limit] = profile.endHeight;
                }
            }
            // Worked out with the heights although only the last resort needs it: on dangerous
            // ground, where the robot is most often, that resort is taken, and working it out
            // later would ask for each path's first point a second time.
            const Point end = ClampedPoint(path, horizon, field);
            const double dx = end.x - profile.start.x;
            const double dy = end.y - profile.start.y;
            if (dx * dx + dy * dy < farthestSquareBound) {
                continue;
            }
            // As Displacement works it out.
            const double displacement = std::hypot(dx, dy);
            if (displacement > farthestDisplacement) {
                farthest = i;
                farthestDisplacement = displacement;
                const double square = displacement * displacement;
                farthestSquareBound =
                    square > kSmallestBoundedSquare ? square * kSquareMargin : 0.0;
            }
        }
    }
    for (int limit = 0; limit < kLimits; ++limit) {
        if (lowest[limit] != -1) {
            return lowest[limit];
        }
    }
    return farthest;
}

} // namespace botpilot

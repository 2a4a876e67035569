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

} // namespace

Point ClampedPointAt(const Path& path, double t) {
    const Point p = path.PointAt(t);
    return PlayingField::Instance().Clamp(p.x, p.y);
}

PathInfo::PathInfo(const Path& path, const Feature& heightSource, double horizon) {
    CheckHorizon(horizon);
    const double step = horizon * kStepFraction;
    // t is accumulated rather than computed as a multiple of the step, so the last sample falls
    // at or a hair below the horizon: 11 samples for the horizons in use.
    double t = 0.0;
    do {
        const Point p = ClampedPointAt(path, t);
        const double h = heightSource.Height(p.x, p.y);
        endHeight = h;
        if (h > maxHeight) {
            maxHeight = h;
        }
        t = step + t;
    } while (t <= horizon);

    const Point start = ClampedPointAt(path, 0.0);
    const Point end = ClampedPointAt(path, horizon);
    displacement = std::hypot(end.x - start.x, end.y - start.y);
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
    const std::vector<PathInfo> infos = CalculatePathInfo(paths, *heightSource, horizon);
    const auto count = static_cast<std::int32_t>(infos.size());

    // The lowest-ending path among those that stay below the limit, relaxing the limit in steps.
    // Comparisons are strict, so of equal final heights the earlier path wins.
    std::int32_t result = -1;
    double limit = kFirstHeightLimit;
    do {
        double best = kUnreachableEndHeight;
        for (std::int32_t i = 0; i < count; ++i) {
            if (infos[i].endHeight < best && infos[i].maxHeight < limit) {
                result = i;
                best = infos[i].endHeight;
            }
        }
        if (result != -1) {
            return result;
        }
        limit = limit + kHeightLimitStep;
    } while (limit <= kLastHeightLimit);

    // No path is safe enough: the one that gets farthest, the earlier of equals. A path that
    // does not move never wins.
    double best = 0.0;
    for (std::int32_t i = 0; i < count; ++i) {
        if (infos[i].displacement > best) {
            result = i;
            best = infos[i].displacement;
        }
    }
    return result;
}

} // namespace botpilot

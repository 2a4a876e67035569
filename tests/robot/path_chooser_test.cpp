#include "diagnostics/timer.h"
#include "geometry/feature.h"
#include "geometry/gaussian_feature.h"
#include "geometry/linear_path.h"
#include "robot/path_chooser.h"
#include "world/check_scopes.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace botpilot {
namespace {

using checks::ScopedPlayingFieldSize;

constexpr double kTolerance = 0.0001;

/// A height field given by a function.
class FunctionFeature final : public Feature {
  public:
    explicit FunctionFeature(std::function<double(double, double)> height)
        : height(std::move(height)) {}
    double Height(double x, double y) const override { return height(x, y); }

  private:
    std::function<double(double, double)> height;
};

/// Remembers every point it is asked about.
class RecordingFeature final : public Feature {
  public:
    double Height(double x, double y) const override {
        samples.push_back({x, y});
        return 0.0;
    }
    mutable std::vector<Point> samples;
};

PathList ListOf(const std::vector<LinearPath>& paths) {
    return PathList(paths.begin(), paths.end());
}

TEST(PathChooserTest, PrefersThePathThatEndsLowerInAPit) {
    ScopedPlayingFieldSize field;
    const GaussianFeature pit(0.0, 5.0, -10.0, 10.0);
    const std::vector<LinearPath> paths{{0.0, 0.0, 0.0, -2.0}, {0.0, 0.0, 0.0, 2.0}};

    const std::vector<PathInfo> infos = PathChooser::CalculatePathInfo(ListOf(paths), pit, 0.25);
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_NEAR(infos[0].maxHeight, -8.59633, kTolerance);
    EXPECT_NEAR(infos[0].endHeight, -8.59633, kTolerance);
    EXPECT_NEAR(infos[0].displacement, 0.5, kTolerance);
    EXPECT_NEAR(infos[1].maxHeight, -8.82497, kTolerance);
    EXPECT_NEAR(infos[1].endHeight, -9.03707, kTolerance);
    EXPECT_NEAR(infos[1].displacement, 0.5, kTolerance);

    EXPECT_EQ(PathChooser(pit, 0.25).Choose(ListOf(paths)), 1);
}

TEST(PathChooserTest, EmptyListChoosesNothing) {
    const GaussianFeature pit(0.0, 5.0, -10.0, 10.0);
    EXPECT_EQ(PathChooser(pit, 0.25).Choose({}), -1);
    EXPECT_TRUE(PathChooser::CalculatePathInfo({}, pit, 0.25).empty());
}

TEST(PathChooserTest, SamplesElevenTimesUpToAHairBelowTheHorizon) {
    ScopedPlayingFieldSize field;
    // Along x at one unit per second, so each sample's x is its time.
    const LinearPath path(0.0, 0.0, 1.0, 0.0);
    for (const double horizon : {0.25, 0.5, 1.0, 2.0}) {
        RecordingFeature recorder;
        const PathInfo info(path, recorder, horizon);
        ASSERT_EQ(recorder.samples.size(), 11u) << "horizon " << horizon;
        EXPECT_EQ(recorder.samples.front().x, 0.0);
        for (std::size_t i = 1; i < recorder.samples.size(); ++i) {
            EXPECT_NEAR(recorder.samples[i].x, static_cast<double>(i) * 0.1 * horizon, 1e-12)
                << "horizon " << horizon << ", sample " << i;
        }
        EXPECT_LE(recorder.samples.back().x, horizon);
        EXPECT_NEAR(info.displacement, horizon, 1e-12); // the end point is taken at the horizon
    }
}

TEST(PathChooserTest, ScoresPathsAtPointsClampedIntoTheField) {
    ScopedPlayingFieldSize field; // 30 by 20: x in [−15, 15], y in [−10, 10]
    const Point clamped = ClampedPointAt(LinearPath(0.0, 0.0, 20.0, -20.0), 1.0);
    EXPECT_EQ(clamped.x, 15.0);
    EXPECT_EQ(clamped.y, -10.0);

    // From x = 14 towards +x at 100 per second: only the unit up to the wall counts.
    RecordingFeature recorder;
    const PathInfo info(LinearPath(14.0, 0.0, 100.0, 0.0), recorder, 0.25);
    EXPECT_NEAR(info.displacement, 1.0, 1e-12);
    for (const Point& p : recorder.samples) {
        EXPECT_LE(p.x, 15.0);
    }
}

// One lane per path: path i runs from (5·i − 10, 0) along +y at one unit per second for a
// horizon of 1 s. The field gives each lane a height at its start (y = 0), a height along the
// way and a height at the end (the last sample, at y just under 1).
struct Lane {
    double start;
    double peak;
    double end;
};

std::int32_t ChooseAmongLanes(const std::vector<Lane>& lanes) {
    const FunctionFeature field([&lanes](double x, double y) {
        const Lane& lane = lanes.at(static_cast<std::size_t>(std::lround((x + 10.0) / 5.0)));
        if (y == 0.0) {
            return lane.start;
        }
        return y < 0.95 ? lane.peak : lane.end;
    });
    std::vector<LinearPath> paths;
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        paths.emplace_back(5.0 * static_cast<double>(i) - 10.0, 0.0, 0.0, 1.0);
    }
    return PathChooser(field, 1.0).Choose(ListOf(paths));
}

TEST(PathChooserTest, ChoosesTheLowestEndingPathUnderTheStrictestLimitThatAdmitsOne) {
    ScopedPlayingFieldSize field;
    struct Case {
        const char* what;
        std::vector<Lane> lanes;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"all below 65: lowest end", {{0, 10, 5}, {0, 20, -3}, {0, 0, 1}}, 1},
        {"equal ends: the earlier", {{0, 10, 2}, {0, 20, 2}}, 0},
        {"exactly 65 is not below 65", {{0, 65, -50}, {0, 64.9, 10}}, 1},
        {"the start counts towards the highest point", {{70, 0, -5}, {0, 10, 10}}, 1},
        {"all climb to 70: lowest end at 80", {{0, 70, 5}, {0, 70, 2}, {0, 70, 8}}, 1},
        {"a path under 80 beats a lower end under 95", {{0, 90, -5}, {0, 75, 3}}, 1},
        {"exactly 80 waits for 95", {{0, 80, -5}, {0, 85, 3}}, 0},
        {"just under 95 is the last chance", {{0, 95, -5}, {0, 94.9, 3}}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseAmongLanes(c.lanes), c.expected) << c.what;
    }
}

TEST(PathChooserTest, FallsBackToTheFarthestPathWhenNoneStaysBelow95) {
    ScopedPlayingFieldSize field;
    const FunctionFeature high([](double, double) { return 95.0; });
    struct Case {
        const char* what;
        std::vector<LinearPath> paths;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"farthest", {{0, 0, 1, 0}, {0, 0, 0, 3}, {0, 0, -2, 0}}, 1},
        {"equal reach: the earlier", {{0, 0, 1, 0}, {0, 0, 0, 3}, {0, 0, 3, 0}}, 1},
        {"none moves", {{0, 0, 0, 0}, {5, 5, 0, 0}}, -1},
        // Heading out of the field only the part up to the wall counts: 1 against 2.
        {"clamped at the wall", {{14, 0, 100, 0}, {0, 0, 0, 8}}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PathChooser(high, 0.25).Choose(ListOf(c.paths)), c.expected) << c.what;
    }
}

/// The choice made step by step from the paths' `PathInfo`s: each limit in turn, then the
/// farthest path.
std::int32_t ChooseStepByStep(const std::vector<PathInfo>& infos) {
    for (double limit = 65.0; limit <= 95.0; limit = limit + 15.0) {
        std::int32_t result = -1;
        double best = 1000000.0;
        for (std::size_t i = 0; i < infos.size(); ++i) {
            if (infos[i].endHeight < best && infos[i].maxHeight < limit) {
                result = static_cast<std::int32_t>(i);
                best = infos[i].endHeight;
            }
        }
        if (result != -1) {
            return result;
        }
    }
    std::int32_t result = -1;
    double best = 0.0;
    for (std::size_t i = 0; i < infos.size(); ++i) {
        if (infos[i].displacement > best) {
            result = static_cast<std::int32_t>(i);
            best = infos[i].displacement;
        }
    }
    return result;
}

// The chooser scores all limits and the fallback in one pass over the paths; it must pick what
// the rule applied step by step to the paths' figures picks, in every branch of the rule.
TEST(PathChooserTest, ChoosesWhatTheRuleAppliedStepByStepChooses) {
    ScopedPlayingFieldSize field;
    int branchesSeen[5] = {}; // chose under 65, 80, 95, by reach, nothing
    for (int fan = 0; fan < 400; ++fan) {
        // Terrain rising to 60..110 somewhere, with flat stretches (ties) and a hole of NaN.
        const double crest = 60.0 + (fan * 7) % 50;
        const FunctionFeature terrain([crest, fan](double x, double y) {
            if (fan % 23 == 0 && x > 3.0) {
                return std::nan("");
            }
            const double bump = crest * std::exp(-((x - 2.0) * (x - 2.0) + y * y) / 4.0);
            const double plateau = fan % 37 == 0 ? 100.0 : 0.0; // nothing qualifies there
            return std::floor(plateau + bump + 0.3 * x * (fan % 3) - y);
        });
        std::vector<LinearPath> paths;
        for (int i = 0; i < 2 + fan % 9; ++i) {
            const double angle = 0.7 * i + 0.1 * fan;
            const bool resting = fan % 37 == 0 || (fan + i) % 5 == 0;
            const double speed = resting ? 0.0 : 4.0 + (i % 3) * 6.0;
            paths.emplace_back(fan % 4 * 1.5, (fan % 5) - 2.0, speed * std::cos(angle),
                               speed * std::sin(angle));
        }
        const PathList list = ListOf(paths);
        const std::vector<PathInfo> infos = PathChooser::CalculatePathInfo(list, terrain, 0.25);
        const std::int32_t expected = ChooseStepByStep(infos);
        ASSERT_EQ(PathChooser(terrain, 0.25).Choose(list), expected) << "fan " << fan;
        if (expected == -1) {
            ++branchesSeen[4];
        } else {
            const PathInfo& chosen = infos[static_cast<std::size_t>(expected)];
            ++branchesSeen[chosen.maxHeight < 65.0   ? 0
                           : chosen.maxHeight < 80.0 ? 1
                           : chosen.maxHeight < 95.0 ? 2
                                                     : 3];
        }
    }
    for (int branch = 0; branch < 5; ++branch) {
        EXPECT_GT(branchesSeen[branch], 0) << "branch " << branch << " never taken";
    }
}

TEST(PathChooserTest, TimesChooseWithTheInfoCalculationNestedInIt) {
    std::ostringstream report;
    EnableTimerForTesting(report, [] { return 0.0; });
    const GaussianFeature pit(0.0, 5.0, -10.0, 10.0);
    PathChooser(pit, 0.25).Choose({});
    DisableTimerForTesting();
    EXPECT_EQ(report.str(), "PathChooser::Choose0 \n  PathChooser::CalculatePathInfo0 \n");
}

// Regression: with a horizon of 0 (or one whose tenth rounds to 0) the sampling step was 0 and
// the sampling never ended; with infinity it never passed the horizon; with a negative horizon
// no sample was taken and the final height was left unset.
TEST(PathChooserTest, RejectsAHorizonThatCannotBeSampled) {
    const GaussianFeature pit(0.0, 5.0, -10.0, 10.0);
    const LinearPath path(0.0, 0.0, 1.0, 0.0);
    struct Case {
        double horizon;
        std::string message;
    };
    const Case cases[] = {
        {0.0, "Horizon must be positive, got 0"},
        {-0.25, "Horizon must be positive, got -0.25"},
        {std::numeric_limits<double>::quiet_NaN(), "Horizon must be positive, got nan"},
        {std::numeric_limits<double>::infinity(), "Horizon must be finite, got inf"},
        {std::numeric_limits<double>::denorm_min(),
         "Horizon of 4.94066e-324 s is too short to be sampled"},
    };
    for (const Case& c : cases) {
        const auto expectRejected = [&c](const std::function<void()>& action, const char* what) {
            try {
                action();
                ADD_FAILURE() << what << ": no exception for horizon " << c.horizon;
            } catch (const std::invalid_argument& error) {
                EXPECT_EQ(error.what(), c.message) << what;
            }
        };
        expectRejected([&] { PathChooser(pit, c.horizon); }, "chooser");
        expectRejected([&] { PathInfo(path, pit, c.horizon); }, "info");
        expectRejected([&] { PathChooser::CalculatePathInfo({}, pit, c.horizon); }, "empty list");
    }
}

} // namespace
} // namespace botpilot

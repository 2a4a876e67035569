#include "diagnostics/timer.h"
#include "geometry/clock.h"
#include "geometry/feature_sum.h"
#include "geometry/gaussian_feature.h"
#include "world/check_scopes.h"
#include "world/object_field.h"
#include "world/playing_field.h"
#include "world/seen_objects.h"
#include "world/terrain.h"

#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace botpilot {
namespace {

TEST(TerrainTest, SumsItsSourcesAsTheyAreAddedAndRemoved) {
    const GaussianFeature hill(1.0, 1.0, 10.0, 2.0);
    const GaussianFeature dip(-1.0, 0.0, -4.0, 1.0);
    const GaussianFeature neverAdded(0.0, 0.0, 1000.0, 5.0);
    Terrain terrain;
    const double x = 0.5;
    const double y = 0.25;
    EXPECT_EQ(terrain.Height(x, y), 0.0);

    terrain.AddSource(hill);
    terrain.AddSource(dip);
    terrain.AddSource(hill); // twice: counts twice
    EXPECT_DOUBLE_EQ(terrain.Height(x, y), 2.0 * hill.Height(x, y) + dip.Height(x, y));

    terrain.RemoveSource(neverAdded);
    EXPECT_DOUBLE_EQ(terrain.Height(x, y), 2.0 * hill.Height(x, y) + dip.Height(x, y));

    terrain.RemoveSource(hill); // every entry of it
    EXPECT_EQ(terrain.Height(x, y), dip.Height(x, y));

    terrain.RemoveSource(dip);
    EXPECT_EQ(terrain.Height(x, y), 0.0);
}

TEST(TerrainTest, WithThePlayingFieldAloneIsTheWallPotential) {
    const checks::ScopedPlayingFieldSize size;
    Terrain terrain;
    terrain.AddSource(PlayingField::Instance());
    EXPECT_NEAR(terrain.Height(0.0, 0.0), 0.0, 0.0001);
    EXPECT_NEAR(terrain.Height(15.0, 0.0), 30.0, 0.0001);
}

TEST(TerrainTest, EachHeightIsATimedSection) {
    const GaussianFeature hill(0.0, 0.0, 1.0, 1.0);
    Terrain terrain;
    terrain.AddSource(hill);
    std::ostringstream report;
    EnableTimerForTesting(report, [] { return 0.0; });
    terrain.Height(0.0, 0.0);
    DisableTimerForTesting();
    EXPECT_EQ(report.str(), "Terrain::Height0 \n");
}

// The rover sums the terrain through its gathered terms: a term summed out of order or outside
// its group would change the heights in the last bits, and with them the path chosen.
TEST(TerrainTest, GatheredTermsGiveEveryHeightBitForBit) {
    const checks::ScopedClock clock(10.0);
    const checks::ScopedPlayingFieldSize size;
    ObjectField robots(std::make_unique<SeenRobot>(), -1.0, -1.0);
    ObjectField shells(std::make_unique<SeenObject>(), -1.0, -1.0);
    ObjectField nothingSeen(std::make_unique<SeenObject>(), -1.0, -1.0);
    robots.Get(7).SetPosition(-6.0, 4.0);
    robots.Get(7).SetHeading(-0.5);
    robots.Get(3).SetPosition(5.0, -5.0);
    shells.Get(20).SetPosition(0.4, 0.3);
    shells.Get(21).SetPosition(-3.0, -6.0);
    Clock::Advance(0.05);
    shells.Get(20).SetPosition(0.9, 0.1); // moving: its ridge runs along its track
    const GaussianFeature hill(1.0, -2.0, 40.0, 1.5);
    Terrain terrain;
    terrain.AddSource(PlayingField::Instance());
    terrain.AddSource(shells);
    terrain.AddSource(nothingSeen);
    terrain.AddSource(robots);
    terrain.AddSource(hill);

    FeatureSum sum;
    terrain.AddTerms(sum);
    for (double x = -15.5; x <= 15.5; x += 0.7) {
        for (double y = -10.5; y <= 10.5; y += 0.45) {
            ASSERT_EQ(sum.Height(x, y), terrain.Height(x, y)) << x << ", " << y;
        }
    }
    // Gathered again after a clear, the terms are those of the terrain as it is now.
    terrain.RemoveSource(hill);
    sum.Clear();
    terrain.AddTerms(sum);
    EXPECT_EQ(sum.Height(0.5, 0.5), terrain.Height(0.5, 0.5));
}

} // namespace
} // namespace botpilot

#include "diagnostics/timer.h"
#include "geometry/gaussian_feature.h"
#include "world/check_scopes.h"
#include "world/playing_field.h"
#include "world/terrain.h"

#include <gtest/gtest.h>
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

} // namespace
} // namespace botpilot

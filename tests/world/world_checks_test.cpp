#include "diagnostics/check_registry.h"
#include "geometry/clock.h"
#include "world/check_scopes.h"
#include "world/playing_field.h"
#include "world/world_checks.h"

#include <gtest/gtest.h>
#include <sstream>

namespace botpilot {
namespace {

CheckRegistry WorldChecks() {
    CheckRegistry registry;
    registry.Register("TestIsFacing", &TestIsFacing);
    registry.Register("TestMountedBattleObject", &TestMountedBattleObject);
    registry.Register("TestObjectField", &TestObjectField);
    registry.Register("TestObjectFieldPurgePlayingField", &TestObjectFieldPurgePlayingField);
    registry.Register("TestObjectFieldPurgeTooOld", &TestObjectFieldPurgeTooOld);
    registry.Register("TestObjectFieldPurgeTooOldSingleObservation",
                      &TestObjectFieldPurgeTooOldSingleObservation);
    registry.Register("TestPlayingFieldHeight", &TestPlayingFieldHeight);
    registry.Register("TestPredictedBattleObject", &TestPredictedBattleObject);
    return registry;
}

TEST(WorldChecksTest, ChecksPassOnAnyClockAndFieldAndPutBothBack) {
    // The checks set the time and the field size they need and restore what they found, so they
    // pass after a run has moved the clock or fetched another size, and leave both as they were.
    const checks::ScopedClock clock(86399.875);
    const checks::ScopedPlayingFieldSize size(7.0, 5.0);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(WorldChecks().RunAll(out, err), 0);
    EXPECT_EQ(err.str(), "0 failed, 8 passed\n");
    EXPECT_EQ(Clock::Now(), 86399.875);
    EXPECT_EQ(PlayingField::Instance().XSize(), 7.0);
    EXPECT_EQ(PlayingField::Instance().YSize(), 5.0);
}

} // namespace
} // namespace botpilot

#include "modes/second_sighting_mode.h"
#include "tests/modes/mode_test_support.h"
#include "world/check_scopes.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace botpilot {
namespace {

using testing::ExpectCommands;
using testing::FakeWorld;
using testing::ModeRig;
using testing::Observe;
using testing::PlaceBody;
using Message = ControllerMessage;

TEST(SecondSightingModeTest, WantsTheScannerForAnObjectSeenOnceButLooksAtTheNearest) {
    struct Sighting {
        std::int32_t id;
        double x;
        double y;
        int count; // observations so far
    };
    struct Case {
        const char* what;
        double bodyHeading;
        std::vector<Sighting> objects;
        double score;
        double desired; // as returned, not normalised
        double sent;    // as the scanner sends it
    };
    const std::vector<Case> cases = {
        {"nothing seen", 0.0, {}, 0.0, 0.0, 0.0},
        {"all confirmed, one very near", 0.0, {{1, 0.5, 0.0, 2}, {2, -6.0, 0.0, 5}}, 0.0, 0.0, 0.0},
        {"the nearest, not the one seen once",
         0.0,
         {{1, 8.0, 0.0, 1}, {2, 0.0, 2.0, 5}},
         0.8,
         kPi / 2,
         kPi / 2},
        {"seen once and nearest",
         0.0,
         {{3, 0.0, -1.0, 1}, {4, 5.0, 5.0, 3}},
         0.8,
         -kPi / 2,
         -kPi / 2},
        // Never observed, it still sits where it was created, on the body: bearing 0.
        {"never observed is not seen once", 0.0, {{6, 2.0, 2.0, 0}}, 0.0, 0.0, 0.0},
        {"across the ±π line",
         -3.0,
         {{1, 2.0 * std::cos(3.0), 2.0 * std::sin(3.0), 1}},
         0.8,
         6.0,
         6.0 - 2 * kPi},
    };
    checks::ScopedClock clock(100.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModeRig<SecondSightingMode> rig;
        PlaceBody(rig.robot.body, 0.0, 0.0, c.bodyHeading);
        for (const Sighting& seen : c.objects) {
            Observe(rig.robot.scanner.objectField, seen.id, seen.x, seen.y, seen.count);
        }
        EXPECT_EQ(rig.mode.GetDesirability(), c.score);
        EXPECT_NEAR(rig.mode.GetDesiredOrientation().Radians(), c.desired, 1e-9);
        rig.mode.Update();
        ExpectCommands(rig.channel, {{Message::SetScannerOrientation, c.sent}});
    }
}

// Through the scanner's own refresh: an object reported once draws the scanner; reported again,
// it no longer does.
TEST(SecondSightingModeTest, LetsGoOnceTheServerReportsTheObjectAgain) {
    checks::ScopedClock clock(0.0);
    ModeRig<SecondSightingMode> rig;
    EXPECT_EQ(rig.mode.GetName(), "SecondSighting");
    EXPECT_EQ(rig.mode.GetResources(), std::vector<Component>{&rig.robot.scanner});
    rig.channel.world = [](int cycle) {
        FakeWorld world;
        world.heading = kPi / 2;
        world.objects = {{7, 3.0, 3.0}};
        if (cycle > 0) {
            world.objects.push_back({8, -6.0, 0.0});
        }
        return world;
    };

    rig.robot.UpdateHardware();
    EXPECT_EQ(rig.mode.GetDesirability(), 0.8);
    rig.mode.Update();
    rig.robot.UpdateHardware(); // object 7 seen twice, object 8 once
    EXPECT_EQ(rig.mode.GetDesirability(), 0.8);
    rig.mode.Update(); // still object 7, the nearer: nothing new to send
    rig.robot.UpdateHardware();
    EXPECT_EQ(rig.mode.GetDesirability(), 0.0);
    ExpectCommands(rig.channel, {{Message::SetScannerOrientation, kPi / 4 - kPi / 2}});
}

} // namespace
} // namespace botpilot

#include "modes/evade_mode.h"
#include "robot/robot.h"
#include "tests/modes/rover_test_support.h"
#include "tests/support/recording_channel.h"
#include "world/check_scopes.h"
#include "world/playing_field.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace botpilot {
namespace {

using checks::ScopedPlayingFieldSize;
using testing::PlaceBody;
using testing::SlopeFeature;

TEST(EvadeModeTest, RegistersTheBodyUnderItsName) {
    testing::InstallRecordingController();
    Robot robot;
    EvadeMode evade;
    EXPECT_TRUE(evade.GetResources().empty());
    evade.Attach(robot);
    EXPECT_EQ(evade.GetName(), "Evade");
    EXPECT_EQ(evade.GetResources(), std::vector<Component>{&robot.body});
    EXPECT_EQ(evade.GetExtraFeature(), nullptr);
}

TEST(EvadeModeTest, WantsTheBodyOnlyAboveDanger70) {
    ScopedPlayingFieldSize field;
    struct Case {
        const char* what;
        double extraHeight; // on top of the walls
        double x;
        double y;
        double expected;
    };
    const Case cases[] = {
        {"exactly 70", 70.0, 0.0, 0.0, 0.0},
        {"just above", 70.01, 0.0, 0.0, 0.9},
        {"mid-field, nothing seen", 0.0, 0.0, 0.0, 0.0},
        {"a corner: the walls alone give 60", 0.0, 15.0, 10.0, 0.0},
        {"a corner with a little more", 10.01, 15.0, 10.0, 0.9},
    };
    for (const Case& c : cases) {
        testing::RecordingChannel& channel = testing::InstallRecordingController();
        Robot robot;
        const SlopeFeature extra(c.extraHeight);
        robot.terrain.AddSource(PlayingField::Instance());
        robot.terrain.AddSource(extra);
        EvadeMode evade;
        evade.Attach(robot);
        PlaceBody(robot.body, c.x, c.y);
        EXPECT_EQ(evade.GetDesirability(), c.expected) << c.what;
        EXPECT_TRUE(channel.requests.empty()) << c.what; // scoring sends nothing
    }
}

} // namespace
} // namespace botpilot

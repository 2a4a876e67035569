#include "geometry/angle.h"
#include "modes/orientation_mode.h"
#include "robot/robot.h"
#include "tests/support/recording_channel.h"

#include <gtest/gtest.h>
#include <memory>

namespace botpilot {
namespace {

/// Aims the scanner wherever the test says.
class AimedMode final : public OrientationMode {
  public:
    std::string GetName() const override { return "Aimed"; }
    double GetDesirability() override { return 1.0; }
    Angle GetDesiredOrientation() override { return desired; }
    Angle desired;
};

TEST(OrientationModeTest, RegistersTheScannerAndSendsOnlyChangedNormalisedAngles) {
    testing::RecordingChannel& channel = testing::InstallRecordingController();
    Robot robot;
    auto owned = std::make_unique<AimedMode>();
    AimedMode& mode = *owned;
    robot.AddMode(std::move(owned));
    EXPECT_TRUE(mode.GetResources().empty()); // nothing until attached
    robot.Configure();
    EXPECT_EQ(mode.GetResources(), std::vector<Component>{&robot.scanner});
    channel.requests.clear();

    for (const double desired : {3 * kPi / 2, -kPi / 2, -kPi, kPi, kPi - 0.00005}) {
        mode.desired = desired;
        mode.Update();
    }
    ASSERT_EQ(channel.requests.size(), 2u);
    EXPECT_NEAR(std::get<double>(channel.requests[0].values.at(0)), -kPi / 2, 1e-12);
    EXPECT_EQ(std::get<double>(channel.requests[1].values.at(0)), kPi);
    EXPECT_EQ(channel.requests[1].type, 21);
}

} // namespace
} // namespace botpilot

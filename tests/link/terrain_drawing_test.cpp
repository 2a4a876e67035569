#include "geometry/feature.h"
#include "link/graphics.h"
#include "link/settings.h"
#include "link/terrain_drawing.h"
#include "tests/support/fake_robot_server.h"
#include "wire/frame.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace botpilot {
namespace {

using testing::FakeRobotServer;
using testing::RecordedRequest;
using testing::WireValue;

/// Given heights at some cell centres, 0 elsewhere.
class CellHeights final : public Feature {
  public:
    explicit CellHeights(std::map<std::pair<double, double>, double> heights)
        : heights(std::move(heights)) {}
    double Height(double x, double y) const override {
        const auto found = heights.find({x, y});
        return found == heights.end() ? 0.0 : found->second;
    }

  private:
    std::map<std::pair<double, double>, double> heights;
};

TEST(TerrainDrawingTest, SendsSixHundredColouredCellsXOuterYInnerAndIgnoresRefusals) {
    FakeRobotServer server;
    // Every drawing item is refused with an error text; the pass must not mind.
    server.SetTamper([](const RecordedRequest&) -> std::optional<std::vector<std::uint8_t>> {
        Message refusal;
        refusal.AddString("Drawing refused");
        return BuildReplyFrame(refusal);
    });
    const Settings saved = ProcessSettings();
    ProcessSettings().serverHost = "127.0.0.1";
    ProcessSettings().serverPort = server.Port();
    Graphics::SetInstanceForTesting(nullptr);

    struct Case {
        std::int32_t id;
        double x;
        double y;
        double height;
        std::int32_t red;
        std::int32_t green;
    };
    const Case cases[] = {
        {1, -14.5, -9.5, 25.0, 101, 0}, // 50 + 2.05 · 25 = 101.25, truncated
        {2, -14.5, -8.5, -80.0, 0, 214},  {3, -14.5, -7.5, 150.0, 255, 0}, // held at 255 beyond 100
        {4, -14.5, -6.5, 0.0, 0, 0}, // exactly 0 is black, not dim red or green
        {20, -14.5, 9.5, -100.0, 0, 255}, {21, -13.5, -9.5, 0.4, 50, 0},
        {600, 14.5, 9.5, -0.0001, 0, 50},
    };
    std::map<std::pair<double, double>, double> heights;
    for (const Case& c : cases) {
        heights[{c.x, c.y}] = c.height;
    }
    DrawTerrain(CellHeights(heights));
    DrawTerrain(CellHeights(heights)); // the second pass starts again at id 1
    Graphics::SetInstanceForTesting(nullptr);
    ProcessSettings() = saved;

    const std::vector<RecordedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1200u);
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const std::size_t cell = i % 600;
        const RecordedRequest& item = requests[i];
        EXPECT_TRUE(item.drawing);
        EXPECT_EQ(item.type, 2);
        ASSERT_EQ(item.values.size(), 10u);
        EXPECT_EQ(item.values[0], WireValue(static_cast<std::int32_t>(cell + 1)));
        EXPECT_EQ(item.values[1], WireValue(-14.5 + static_cast<double>(cell / 20)));
        EXPECT_EQ(item.values[2], WireValue(-9.5 + static_cast<double>(cell % 20)));
        EXPECT_EQ(item.values[9], WireValue(0)); // never blue
    }
    for (const Case& c : cases) {
        EXPECT_EQ(requests[c.id - 1].values,
                  (std::vector<WireValue>{c.id, c.x, c.y, 0.5, 0.5, 0.0, 8, c.red, c.green, 0}))
            << "height " << c.height;
    }
}

} // namespace
} // namespace botpilot

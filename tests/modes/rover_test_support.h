#pragma once

// Shared pieces of the rover modes' tests: simple height fields, a robot placed by hand, and the
// engine requests a recording channel saw.

#include "geometry/feature.h"
#include "robot/robot.h"
#include "tests/modes/mode_test_support.h"
#include "tests/support/recording_channel.h"

#include <cstddef>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace botpilot::testing {

// Message types as doubles, to sit in the same pairs as the values they carry.
constexpr double kSetEngineSpeed = 18;
constexpr double kSetEngineOrientation = 19;

/// (request type, its one value), or (engine speed, orientation) of a candidate command.
using Pairs = std::vector<std::pair<double, double>>;

/// base + slope · x: rises towards +x.
class SlopeFeature final : public Feature {
  public:
    explicit SlopeFeature(double base, double slope = 0.0) : base(base), slope(slope) {}
    double Height(double x, double) const override { return base + slope * x; }

  private:
    double base;
    double slope;
};

/// The one-value requests the channel saw (the engine's and the scanner's), in order.
inline Pairs EngineRequests(const RecordingChannel& channel) {
    Pairs sent;
    for (const RecordedRequest& request : channel.requests) {
        sent.emplace_back(request.type, std::get<double>(request.values.at(0)));
    }
    return sent;
}

inline void ExpectPairs(const Pairs& actual, const Pairs& expected, const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].first, expected[i].first) << what << " #" << i;
        EXPECT_NEAR(actual[i].second, expected[i].second, 1e-12) << what << " #" << i;
    }
}

} // namespace botpilot::testing

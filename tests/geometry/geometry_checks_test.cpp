#include "diagnostics/check_registry.h"
#include "geometry/geometry_checks.h"

#include <gtest/gtest.h>
#include <sstream>

namespace botpilot {
namespace {

TEST(GeometryChecksTest, EveryBuiltInCheckPasses) {
    CheckRegistry registry;
    registry.Register("TestAngle", &TestAngle);
    registry.Register("TestToPositiveRadians", &TestToPositiveRadians);
    registry.Register("TestAngleCrossesBoundary", &TestAngleCrossesBoundary);
    registry.Register("TestAngleLinearInterpolate", &TestAngleLinearInterpolate);
    registry.Register("TestCachedDouble", &TestCachedDouble);
    registry.Register("TestCachedFeature", &TestCachedFeature);
    registry.Register("TestClock", &TestClock);
    registry.Register("TestLinearPath", &TestLinearPath);
    registry.Register("TestLinearInterpolate", &TestLinearInterpolate);
    registry.Register("TestBoundedLinearInterpolate", &TestBoundedLinearInterpolate);
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(registry.RunAll(out, err), 0);
    EXPECT_EQ(err.str(), "0 failed, 10 passed\n");
}

} // namespace
} // namespace botpilot

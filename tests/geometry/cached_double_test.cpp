#include "geometry/cached_double.h"

#include <gtest/gtest.h>

namespace botpilot {
namespace {

TEST(CachedDoubleTest, AcceptsOnlyChangesOfAtLeastTheThreshold) {
    struct Case {
        double accepted;
        double candidate;
        bool changed;
    };
    const Case cases[] = {
        {2.0, 2.0, false},     {2.0, 2.1, true},       {2.0, 1.9, true},
        {0.0, 0.00009, false}, {0.0, -0.00009, false}, // strictly within the threshold
        {0.0, 0.0001, true},   {0.0, -0.0001, true},   // exactly the threshold is a change
        {-3.0, 3.0, true},
    };
    for (const Case& c : cases) {
        CachedDouble cached;
        ASSERT_TRUE(cached.Update(c.accepted));
        EXPECT_EQ(cached.Update(c.candidate), c.changed) << c.accepted << " then " << c.candidate;
        EXPECT_EQ(cached.Value(), c.changed ? c.candidate : c.accepted);
    }
}

TEST(CachedDoubleTest, FirstUpdateIsAlwaysAChange) {
    CachedDouble cached;
    EXPECT_FALSE(cached.Valid());
    EXPECT_TRUE(cached.Update(0.0)); // even the initial value 0 is sent once
    EXPECT_TRUE(cached.Valid());
    EXPECT_FALSE(cached.Update(0.0));
}

TEST(CachedDoubleTest, SmallDriftIsMeasuredFromTheLastValueSent) {
    CachedDouble cached;
    cached.Update(1.0);
    EXPECT_FALSE(cached.Update(1.00006));
    EXPECT_TRUE(cached.Update(1.00012)); // 0.00012 from the value sent, not 0.00006
    EXPECT_EQ(cached.Value(), 1.00012);
}

} // namespace
} // namespace botpilot

// Built-in checks of the clock, the caches and the linear path.

#include "geometry/cached_double.h"
#include "geometry/cached_feature.h"
#include "geometry/check_helpers.h"
#include "geometry/clock.h"
#include "geometry/gaussian_feature.h"
#include "geometry/geometry_checks.h"
#include "geometry/linear_path.h"
#include "platform/steady_time.h"

namespace botpilot {

using checks::ExpectBool;
using checks::ExpectExactly;
using checks::ExpectNear;

void TestCachedDouble() {
    CachedDouble cached;
    ExpectBool(true, cached.Update(2.0));
    ExpectBool(false, cached.Update(2.0));
    ExpectBool(true, cached.Update(2.1));
}

void TestCachedFeature() {
    const GaussianFeature hill(3.0, 4.0, 10.0, 5.0);
    ExpectExactly(10.0, hill.Height(3.0, 4.0));

    // The default playing field: 30 by 20, centred on the origin.
    const CachedFeature cache(hill, 0.5, -15.0, -10.0, 15.0, 10.0);
    ExpectExactly(hill.Height(2.0, 1.0), cache.Height(2.0, 1.0));
    // Same cell: the first point's value comes back.
    ExpectExactly(hill.Height(2.0, 1.0), cache.Height(2.1, 1.1));
    // A new cell.
    ExpectExactly(hill.Height(2.5, 1.5), cache.Height(2.5, 1.5));
}

void TestClock() {
    constexpr int kPauseMilliseconds = 750;
    Clock::Update();
    const double before = Clock::Now();
    SleepMilliseconds(kPauseMilliseconds);
    Clock::Update();
    ExpectNear(0.75, Clock::Now() - before, 0.1);
}

void TestLinearPath() {
    const LinearPath path(3.0, 5.0, -1.0, 1.0);
    ExpectNear(3.0, path.PointAt(0.0).x);
    ExpectNear(5.0, path.PointAt(0.0).y);
    ExpectNear(1.0, path.PointAt(2.0).x);
    ExpectNear(7.0, path.PointAt(2.0).y);

    const LinearPath resting(3.0, 5.0, 0.0, 0.0);
    for (const double t : {-4.0, 0.0, 2.5}) {
        ExpectNear(3.0, resting.PointAt(t).x);
        ExpectNear(5.0, resting.PointAt(t).y);
    }
}

} // namespace botpilot

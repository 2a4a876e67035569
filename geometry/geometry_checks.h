#pragma once

namespace botpilot {

// The built-in checks of angles, interpolation, time, caches and paths. Each returns normally
// when it passes and throws a std::string ("Expected: ..., Actual: ...") when it fails.

void TestAngle();
void TestToPositiveRadians();
void TestAngleCrossesBoundary();
void TestAngleLinearInterpolate();
void TestCachedDouble();
void TestCachedFeature();
void TestClock();
void TestLinearPath();
void TestLinearInterpolate();
void TestBoundedLinearInterpolate();

} // namespace botpilot

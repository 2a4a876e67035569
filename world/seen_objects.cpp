#include "world/seen_objects.h"

#include "geometry/clock.h"
#include "geometry/feature_sum.h"

#include <cmath>
#include <cstring>

namespace botpilot {

namespace {

// A robot threatens the ground just ahead of it: ridge length, end weights and width.
constexpr double kRobotReach = 5.0; // [Units: world units]
constexpr double kRobotNearWeight = 50.0;
constexpr double kRobotFarWeight = 30.0;
constexpr double kRobotWidth = 2.0; // [Units: world units]

// An object (a shell) threatens its track over the next few seconds.
constexpr double kObjectLookAheadSeconds = 5.0; // [Units: s]
constexpr double kObjectNearWeight = 100.0;
constexpr double kObjectFarWeight = 70.0;
constexpr double kObjectWidth = 1.0; // [Units: world units]

} // namespace

std::uint64_t RidgeMemo::ClockBits() {
    const double now = Clock::Now();
    std::uint64_t bits = 0;
    std::memcpy(&bits, &now, sizeof bits);
    return bits;
}

std::unique_ptr<PredictedBattleObject> SeenRobot::Create() const {
    return std::make_unique<SeenRobot>();
}

double SeenRobot::Height(double x, double y) const {
    return Ridge().Height(x, y);
}

void SeenRobot::AddTerms(FeatureSum& sum) const {
    sum.AddRidge(Ridge());
}

const SegmentRidge& SeenRobot::Ridge() const {
    return ridge.Get(*this, [this] {
        const Point p = Position();
        const double h = Heading().Normalise().Radians();
        const Point end{p.x + kRobotReach * std::cos(h), p.y + kRobotReach * std::sin(h)};
        return SegmentRidge(p.x, p.y, kRobotNearWeight, end.x, end.y, kRobotFarWeight, kRobotWidth);
    });
}

std::unique_ptr<PredictedBattleObject> SeenObject::Create() const {
    return std::make_unique<SeenObject>();
}

double SeenObject::Height(double x, double y) const {
    return Ridge().Height(x, y);
}

void SeenObject::AddTerms(FeatureSum& sum) const {
    sum.AddRidge(Ridge());
}

const SegmentRidge& SeenObject::Ridge() const {
    return ridge.Get(*this, [this] {
        const Point p = Position();
        const Point future = PredictPosition(kObjectLookAheadSeconds);
        return SegmentRidge(p.x, p.y, kObjectNearWeight, future.x, future.y, kObjectFarWeight,
                            kObjectWidth);
    });
}

} // namespace botpilot

#include "robot/robot_path.h"

#include "geometry/interpolation.h"

#include <cmath>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>

namespace botpilot {

namespace {

// One degree in units of π radians (1/180): degrees per second times π times this are radians
// per second.
constexpr double kDegreeInPiRadians = 0.005555555555555556;

double Normalised(Angle a) {
    // Angle::Normalise gives an angle already in (−π, π] back unchanged; most angles here are,
    // and are spared the call.
    const double radians = a.Radians();
    if (radians > -kPi && radians <= kPi) {
        return radians;
    }
    return a.Normalise().Radians();
}

// A rate of 0 would divide by zero in the radius and the turning time, a negative one would give
// a negative time; NaN is refused with them.
void CheckTurnRate(double maxTurnRate) {
    if (!(maxTurnRate > 0.0)) {
        std::ostringstream text;
        text << "Maximum turning rate must be positive, got " << maxTurnRate;
        throw std::invalid_argument(text.str());
    }
}

} // namespace

TrigMemo::Table::Table() : slots(std::size_t{1} << kSlotBits) {
    static_assert((std::size_t{1} << kSlotBits) == 2 * kCapacity,
                  "a table has twice the capacity's slots");
}

TrigMemo::Slot& TrigMemo::Table::Find(std::uint64_t first, std::uint64_t second,
                                      std::uint32_t generation) {
    const std::size_t mask = slots.size() - 1;
    std::size_t index = Home(first, second);
    for (;;) {
        Slot& slot = slots[index];
        if (slot.generation != generation || (slot.first == first && slot.second == second)) {
            return slot;
        }
        index = (index + 1) & mask;
    }
}

TrigMemo::TrigMemo() = default;

void TrigMemo::Clear() {
    sinesAndCosines.stored = 0;
    bearings.stored = 0;
    ++generation;
    // After 2^32 clears an old slot's stamp could match again: the tables are emptied once.
    if (generation == 0) {
        for (Table* table : {&sinesAndCosines, &bearings}) {
            for (Slot& slot : table->slots) {
                slot.generation = 0;
            }
        }
        generation = 1;
    }
}

// Kept out of line, so that the lookup in `CosSin` is small enough to be inlined where the arcs
// are sampled.
[[gnu::noinline]] Point TrigMemo::FindCosSin(double radians, std::uint64_t bits) {
    Slot& slot = sinesAndCosines.Find(bits, 0, generation);
    if (slot.generation == generation) {
        return slot.value;
    }
    const Point cosSin{std::cos(radians), std::sin(radians)};
    if (sinesAndCosines.stored < kCapacity) {
        slot = Slot{bits, 0, generation, cosSin};
        ++sinesAndCosines.stored;
    }
    return cosSin;
}

double TrigMemo::Atan2(double y, double x) {
    const std::uint64_t yBits = Bits(y);
    const std::uint64_t xBits = Bits(x);
    Slot& slot = bearings.Find(yBits, xBits, generation);
    if (slot.generation == generation) {
        return slot.value.x;
    }
    const double bearing = std::atan2(y, x);
    if (bearings.stored < kCapacity) {
        slot = Slot{yBits, xBits, generation, Point{bearing, 0.0}};
        ++bearings.stored;
    }
    return bearing;
}

PathStart::PathStart(double x, double y, Angle heading, double maxSpeed, double maxTurnRate)
    : x(x), y(y), maxSpeed(maxSpeed), maxTurnRate(maxTurnRate),
      normalisedHeading(Normalised(heading)) {
    CheckTurnRate(maxTurnRate);
    const double left = normalisedHeading + kPi / 2.0;
    const double right = normalisedHeading - kPi / 2.0;
    towardsLeftCentre = Point{std::cos(left), std::sin(left)};
    towardsRightCentre = Point{std::cos(right), std::sin(right)};
}

inline Point RobotPath::CosSin(double radians) const {
    if (trig != nullptr) {
        return trig->CosSin(radians);
    }
    return {std::cos(radians), std::sin(radians)};
}

inline double RobotPath::Atan2(double y, double x) const {
    return trig != nullptr ? trig->Atan2(y, x) : std::atan2(y, x);
}

RobotPath::RobotPath(double x, double y, Angle heading, double maxSpeed, double maxTurnRate,
                     const EngineCommand& command)
    : RobotPath(PathStart(x, y, heading, maxSpeed, maxTurnRate), command) {}

RobotPath::RobotPath(const PathStart& start, const EngineCommand& command)
    : command(command), trig(start.trig) {
    const double x = start.x;
    const double y = start.y;
    const double maxSpeed = start.maxSpeed;
    const double maxTurnRate = start.maxTurnRate;

    // Signed speed: negative drives backwards. [Units: distance per second]
    const double v = maxSpeed * command.engineSpeed * 0.01;
    // The distance covered in the time of one full turn, divided by 2π.
    radius = (360.0 / maxTurnRate) * std::abs(v) / (2.0 * kPi);

    // The turn the shorter way round; positive is counter-clockwise.
    const double theta = Normalised(command.orientation);
    const double delta = Normalised(theta - start.normalisedHeading);
    turnTime = std::abs(delta) / (maxTurnRate * kPi * kDegreeInPiRadians);

    // The centre lies to the left of the robot for a counter-clockwise turn forwards. Driving
    // backwards puts it on the other side for the same turn; with no speed or no turn either
    // side would do, and the right one is taken.
    const bool centreLeft =
        (command.engineSpeed > 0.0 && delta > 0.0) || (command.engineSpeed < 0.0 && delta < 0.0);
    const Point towardsCentre = centreLeft ? start.towardsLeftCentre : start.towardsRightCentre;
    centreX = x + radius * towardsCentre.x;
    centreY = y + radius * towardsCentre.y;

    // With radius 0 both differences are 0; atan2 of (−0, −0) would give −π, so 0 is set outright.
    const double dy = y - centreY;
    const double dx = x - centreX;
    startAngle = (dx == 0.0 && dy == 0.0) ? 0.0 : Atan2(dy, dx);
    // Left unnormalised so that interpolating from the start runs through the whole turn.
    endAngle = Normalised(startAngle) + delta;

    const Point end = CosSin(Normalised(endAngle));
    const double endX = centreX + radius * end.x;
    const double endY = centreY + radius * end.y;
    const Point direction = CosSin(theta);
    straight = LinearPath(endX, endY, v * direction.x, v * direction.y);

    const bool crosses = startAngle.CrossesBoundary(endAngle);
    arcFrom = crosses ? Angle::ToPositiveRadians(startAngle.Radians()) : startAngle.Radians();
    arcTo = crosses ? Angle::ToPositiveRadians(endAngle.Radians()) : endAngle.Radians();
}

Point RobotPath::PointAt(double t) const {
    // At exactly turnTime the straight run starts where the turn ends. LinearPath::PointAt's
    // formula, written out: a call of its own would cost as much.
    if (!(t < turnTime)) {
        const double s = t - turnTime;
        const Point start = straight.Start();
        const Point direction = straight.Direction();
        return {start.x + s * direction.x, start.y + s * direction.y};
    }
    // Angle::AngleAtFraction(0, startAngle, turnTime, endAngle, t), its choice of ends made once.
    const double a = BoundedLinearInterpolate(0.0, arcFrom, turnTime, arcTo, t);
    const Point onCircle = CosSin(a);
    return {centreX + radius * onCircle.x, centreY + radius * onCircle.y};
}

} // namespace botpilot

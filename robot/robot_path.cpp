#include "robot/robot_path.h"

#include "geometry/interpolation.h"

#include <cmath>
#include <sstream>
#include <stdexcept>
#include <string>

namespace botpilot {

namespace {

// One degree in units of π radians (1/180): degrees per second times π times this are radians
// per second.
constexpr double kDegreeInPiRadians = 0.005555555555555556;

double Normalised(Angle a) {
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

PathStart::PathStart(double x, double y, Angle heading, double maxSpeed, double maxTurnRate)
    : x(x), y(y), maxSpeed(maxSpeed), maxTurnRate(maxTurnRate),
      normalisedHeading(Normalised(heading)) {
    CheckTurnRate(maxTurnRate);
    const double left = normalisedHeading + kPi / 2.0;
    const double right = normalisedHeading - kPi / 2.0;
    towardsLeftCentre = Point{std::cos(left), std::sin(left)};
    towardsRightCentre = Point{std::cos(right), std::sin(right)};
}

RobotPath::RobotPath(double x, double y, Angle heading, double maxSpeed, double maxTurnRate,
                     const EngineCommand& command)
    : RobotPath(PathStart(x, y, heading, maxSpeed, maxTurnRate), command) {}

RobotPath::RobotPath(const PathStart& start, const EngineCommand& command) : command(command) {
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
    startAngle = (dx == 0.0 && dy == 0.0) ? 0.0 : std::atan2(dy, dx);
    // Left unnormalised so that interpolating from the start runs through the whole turn.
    endAngle = Normalised(startAngle) + delta;

    const double endX = centreX + radius * std::cos(Normalised(endAngle));
    const double endY = centreY + radius * std::sin(Normalised(endAngle));
    straight = LinearPath(endX, endY, v * std::cos(theta), v * std::sin(theta));

    const bool crosses = startAngle.CrossesBoundary(endAngle);
    arcFrom = crosses ? Angle::ToPositiveRadians(startAngle.Radians()) : startAngle.Radians();
    arcTo = crosses ? Angle::ToPositiveRadians(endAngle.Radians()) : endAngle.Radians();
}

Point RobotPath::PointAt(double t) const {
    // At exactly turnTime the straight run starts where the turn ends.
    if (!(t < turnTime)) {
        return straight.PointAt(t - turnTime);
    }
    // Angle::AngleAtFraction(0, startAngle, turnTime, endAngle, t), its choice of ends made once.
    const double a = BoundedLinearInterpolate(0.0, arcFrom, turnTime, arcTo, t);
    return {centreX + radius * std::cos(a), centreY + radius * std::sin(a)};
}

} // namespace botpilot

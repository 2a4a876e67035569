#include "arena/battle/sniper_pilot.h"

#include "arena/battle/arena_math.h"

#include <algorithm>
#include <cmath>

namespace botarena {

namespace {

/// It backs away from a robot nearer than this. [Units: field units]
constexpr double kMinRange = 7.0;
/// It closes in on a robot further than this. [Units: field units]
constexpr double kMaxRange = 11.0;
/// Engine speed while closing in; it has time. [Units: percent]
constexpr double kApproachSpeed = 60.0;
/// Roaming speed. [Units: percent]
constexpr double kRoamSpeed = 70.0;
/// Directions it weighs when running from a robot that is too near.
constexpr int kEscapeDirections = 16;
/// How far ahead it looks along each of them. [Units: field units]
constexpr double kEscapeRun = 2.0;
/// Room it keeps between its body and a wall when it runs. [Units: field units]
constexpr double kWallClearance = 0.5;
/// A new way out must take it this much further than the one it runs. [Units: field units]
constexpr double kEscapeHysteresis = 0.5;
/// It turns from forward to reverse, or back, only when the cosine of the turn it saves
/// exceeds this.
constexpr double kDriveHysteresis = 0.3;
/// The velocity is the displacement over the newest sightings of this span. [Units: s]
constexpr double kTrackWindow = 0.4;
/// A track no longer than this tells no velocity yet: too short a base makes a noisy one.
/// [Units: s]
constexpr double kMinTrackSpan = 0.2;
/// A target out of sight this long starts a new track. [Units: s]
constexpr double kTrackGap = 0.3;
/// It fires when the shell would pass within this of the predicted centre. [Units: field units]
constexpr double kAimMargin = 0.3;

Vec2 Offset(Vec2 from, Vec2 to) {
    return {to.x - from.x, to.y - from.y};
}

} // namespace

std::optional<double> InterceptTime(Vec2 offset, Vec2 velocity, double shellSpeed) {
    // |offset + velocity t| = shellSpeed t, a quadratic a t^2 + b t + c = 0 in the flight time.
    const double a = velocity.x * velocity.x + velocity.y * velocity.y - shellSpeed * shellSpeed;
    const double b = 2.0 * (offset.x * velocity.x + offset.y * velocity.y);
    const double c = offset.x * offset.x + offset.y * offset.y;
    if (std::fabs(a) < 1e-9) {
        // As fast as the shell: it catches only a target coming toward it.
        return b < 0.0 ? std::optional<double>(-c / b) : std::nullopt;
    }
    const double discriminant = b * b - 4.0 * a * c;
    if (discriminant < 0.0) {
        return std::nullopt;
    }
    const double root = std::sqrt(discriminant);
    const double first = (-b - root) / (2.0 * a);
    const double second = (-b + root) / (2.0 * a);
    const double earlier = std::min(first, second);
    const double later = std::max(first, second);
    if (earlier >= 0.0) {
        return earlier;
    }
    return later >= 0.0 ? std::optional<double>(later) : std::nullopt;
}

RobotSettings SniperPilot::Settings() {
    RobotSettings settings;
    settings.engine = {4.0, 120.0}; // units per second, degrees per second
    // range, field of view, turning rate (well above the body's, to hold a target while it turns)
    settings.scanner = {20.0, 40.0, 300.0};
    // 30 units per second, a reach of 16, 4 points every 1.5 s: nearly twice the repair of
    // the robots it fights.
    settings.gun = {3.0, 16.0, 4.0, 3.0};
    settings.armour = 40.0;
    settings.repair = 1.0;
    return settings;
}

void SniperPilot::Decide(Battle& battle, ArenaRobot& robot, const std::vector<Sighting>& seen) {
    const Vec2 here = Position(robot);
    // It keeps to one target while it is in sight, so that the track stays whole.
    const Sighting* target = FindSighting(seen, targetId);
    if (target == nullptr) {
        target = Nearest(seen, here);
    }
    if (target == nullptr) {
        if (track.empty() || battle.Time() - track.back().time > kTrackGap) {
            Roam(battle, robot, course, kRoamSpeed);
        } else {
            // Just lost: stand and look where it went.
            robot.SetEngineSpeed(0.0);
            LookToward(robot, Bearing(here, track.back().position));
        }
        return;
    }
    course.Forget();
    Vec2 velocity;
    const bool steady = Track(battle.Time(), *target, velocity);
    const Vec2 offset = Offset(here, target->position);
    const double shellSpeed = robot.Settings().gun.ShellSpeed();
    const std::optional<double> flight = InterceptTime(offset, velocity, shellSpeed);
    Vec2 aimPoint = target->position;
    if (flight) {
        aimPoint = {target->position.x + velocity.x * *flight,
                    target->position.y + velocity.y * *flight};
    }
    const double aim = Bearing(here, aimPoint);
    LookToward(robot, Bearing(here, target->position));
    const double reach = Distance(here, aimPoint);
    const bool ready = steady && flight && reach <= robot.Settings().gun.range &&
                       robot.GunCharge() >= kFiringCharge;
    Keep(battle, robot, target->position, aim, ready);
    if (ready) {
        FireWhenAimed(battle, robot, aim, std::atan2(kAimMargin, std::max(reach, kAimMargin)));
    }
}

bool SniperPilot::Track(double time, const Sighting& target, Vec2& velocity) {
    if (target.id != targetId || track.empty() || time - track.back().time > kTrackGap) {
        track.clear();
        targetId = target.id;
    }
    track.push_back({time, target.position});
    while (track.size() > 2 && time - track[1].time >= kTrackWindow) {
        track.pop_front();
    }
    const double span = track.back().time - track.front().time;
    if (span < kMinTrackSpan) {
        velocity = {};
        return false;
    }
    velocity = {(track.back().position.x - track.front().position.x) / span,
                (track.back().position.y - track.front().position.y) / span};
    return true;
}

double SniperPilot::EscapeBearing(const Battle& battle, Vec2 here, Vec2 threat) const {
    // Of a ring of directions, the one whose point a short run away lies furthest from the
    // threat while keeping clear of the walls: straight away in the open, along a wall or out of
    // a corner otherwise. The way it already runs is kept while it is nearly as good, or a
    // threat square to a wall would flip it from one side to the other at every step.
    const FieldSize& field = battle.Field();
    const auto apart = [&](double bearing) {
        const Vec2 to{here.x + kEscapeRun * std::cos(bearing),
                      here.y + kEscapeRun * std::sin(bearing)};
        const Vec2 held = KeepInside(field, to, kRobotRadius + kWallClearance);
        return held.x == to.x && held.y == to.y ? Distance(to, threat) : -1.0;
    };
    double best = Bearing(threat, here);
    double bestApart = -1.0;
    for (int i = 0; i < kEscapeDirections; ++i) {
        const double bearing = Bearing(threat, here) + 2.0 * kPi * i / kEscapeDirections;
        const double away = apart(bearing);
        if (away > bestApart + 1e-9) {
            best = bearing;
            bestApart = away;
        }
    }
    if (escapeDrive != 0 && apart(escape) >= bestApart - kEscapeHysteresis) {
        return escape;
    }
    return NormaliseRadians(best);
}

void SniperPilot::Keep(Battle& battle, ArenaRobot& robot, Vec2 threat, double aim, bool ready) {
    const Vec2 here = Position(robot);
    const double distance = Distance(here, threat);
    robot.SetEngineOrientation(aim);
    if (distance > kMaxRange) {
        robot.SetEngineSpeed(kApproachSpeed);
    } else if (distance >= kMinRange) {
        robot.SetEngineSpeed(0.0);
    }
    if (distance >= kMinRange) {
        escapeDrive = 0;
        return;
    }
    // Too near. With the gun ready it turns to aim and only backs off; while the gun recharges
    // it runs the best way out, forward or in reverse, whichever needs less turning. It keeps
    // the way it drives until the other is clearly better, so as not to dither across.
    escape = EscapeBearing(battle, here, threat);
    const double ahead = std::cos(escape - robot.Body().heading);
    if (escapeDrive == 0 || ahead * escapeDrive < -kDriveHysteresis) {
        escapeDrive = ahead >= 0.0 ? 1 : -1;
    }
    if (ready) {
        const bool behind = std::cos(escape - (aim + kPi)) > 0.5;
        robot.SetEngineSpeed(behind ? -100.0 : 0.0);
    } else {
        robot.SetEngineOrientation(escapeDrive > 0 ? escape : escape + kPi);
        robot.SetEngineSpeed(100.0 * escapeDrive);
    }
}

} // namespace botarena

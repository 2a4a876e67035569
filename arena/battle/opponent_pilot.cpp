#include "arena/battle/opponent_pilot.h"

#include "arena/battle/arena_math.h"
#include "arena/battle/hunter_pilot.h"
#include "arena/battle/sitter_pilot.h"
#include "arena/battle/sniper_pilot.h"
#include "arena/battle/spinner_pilot.h"
#include "arena/battle/wanderer_pilot.h"
#include "wire/controller_catalogue.h"

#include <cassert>
#include <cmath>

namespace botarena {

namespace {

/// A waypoint this close counts as reached. [Units: field units]
constexpr double kWaypointReach = 1.0;
/// A waypoint not reached in this time (blocked by a robot, say) is given up. [Units: s]
constexpr double kWaypointPatience = 8.0;
/// Waypoints keep this far from the walls. [Units: field units]
constexpr double kWaypointMargin = 2.0;
/// A sweeping scanner is always told to look this far beyond where it points, so it keeps
/// turning at its own rate. [Units: radians]
constexpr double kSweepLead = kPi / 2.0;

/// Shades per kind; the n-th opponent of a kind takes shade n modulo this.
constexpr int kShades = 3;

/// Everything that differs between the kinds but their pilots.
struct KindEntry {
    OpponentKind kind;
    const char* name; ///< on the command line
    const char* type; ///< on the scoreboard, and the stem of the name
    std::int32_t colours[kShades][3];
};

// Warm colours for the hunters, cold ones for the snipers, earth for the wanderers, greys for
// the sitters and violets for the spinners, so that a glance at the viewer tells the kinds
// apart; none is the client's default green.
constexpr KindEntry kKinds[] = {
    {OpponentKind::Sitter, "sitter", "Sitter", {{176, 176, 176}, {128, 128, 144}, {208, 208, 192}}},
    {OpponentKind::Spinner,
     "spinner",
     "Spinner",
     {{176, 96, 224}, {224, 128, 255}, {144, 64, 176}}},
    {OpponentKind::Wanderer,
     "wanderer",
     "Wanderer",
     {{255, 192, 0}, {192, 160, 96}, {160, 128, 0}}},
    {OpponentKind::Hunter, "hunter", "Hunter", {{255, 64, 64}, {255, 128, 0}, {255, 128, 192}}},
    {OpponentKind::Sniper, "sniper", "Sniper", {{64, 128, 255}, {192, 64, 255}, {0, 192, 192}}},
    {OpponentKind::Duelist,
     "duelist",
     "Duelist",
     {{255, 255, 255}, {255, 224, 160}, {224, 255, 255}}},
};

/// What the client declares for the robot it drives: 12 units/s and 180 degrees/s, a scanner of
/// range 10 and 150 degrees, a gun at 15 units/s reaching 10 and taking 15.16 points every 0.4 s
/// at most, 25 points of armour. With it a hunter fights the client on equal terms.
RobotSettings DuelistSettings() {
    RobotSettings settings;
    settings.engine = {12.0, 180.0};
    settings.scanner = {10.0, 150.0, 60.0};
    settings.gun = {1.5, 10.0, 15.16, 0.4};
    settings.armour = 25.0;
    settings.repair = 1.5;
    return settings;
}

const KindEntry& Entry(OpponentKind kind) {
    for (const KindEntry& entry : kKinds) {
        if (entry.kind == kind) {
            return entry;
        }
    }
    assert(false && "every kind has an entry");
    return kKinds[0];
}

std::unique_ptr<OpponentPilot> MakePilot(OpponentKind kind, int robotId, std::uint32_t seed) {
    switch (kind) {
    case OpponentKind::Hunter:
    case OpponentKind::Duelist:
        return std::make_unique<HunterPilot>(robotId, seed);
    case OpponentKind::Sniper:
        return std::make_unique<SniperPilot>(robotId, seed);
    case OpponentKind::Sitter:
        return std::make_unique<SitterPilot>(robotId);
    case OpponentKind::Spinner:
        return std::make_unique<SpinnerPilot>(robotId);
    case OpponentKind::Wanderer:
        break;
    }
    return std::make_unique<WandererPilot>(robotId, seed);
}

} // namespace

const char* OpponentKindName(OpponentKind kind) {
    return Entry(kind).name;
}

std::optional<OpponentKind> ParseOpponentKind(const std::string& name) {
    for (const KindEntry& entry : kKinds) {
        if (name == entry.name) {
            return entry.kind;
        }
    }
    return std::nullopt;
}

std::string OpponentKindList() {
    std::string list;
    for (const OpponentKind kind : kOpponentKinds) {
        list += (list.empty() ? "" : ", ") + std::string(OpponentKindName(kind));
    }
    return list;
}

Vec2 RoamingCourse::Waypoint(const Battle& battle, Vec2 here) {
    if (!hasWaypoint || Distance(here, waypoint) < kWaypointReach ||
        battle.Time() - waypointSince > kWaypointPatience) {
        const FieldSize& field = battle.Field();
        std::uniform_real_distribution<double> alongX(field.MinX() + kWaypointMargin,
                                                      field.MaxX() - kWaypointMargin);
        std::uniform_real_distribution<double> alongY(field.MinY() + kWaypointMargin,
                                                      field.MaxY() - kWaypointMargin);
        waypoint = {alongX(random), alongY(random)};
        hasWaypoint = true;
        waypointSince = battle.Time();
    }
    return waypoint;
}

void OpponentPilot::Update(Battle& battle) {
    ArenaRobot* robot = battle.Find(robotId);
    if (robot == nullptr || !robot->IsRunning()) {
        return;
    }
    std::vector<Sighting> seen;
    for (const ArenaRobot* other : battle.SeenRobots(robotId)) {
        seen.push_back({other->Id(), Position(*other), other->Body().heading});
    }
    Decide(battle, *robot, seen);
}

void OpponentPilot::Roam(Battle& battle, ArenaRobot& robot, RoamingCourse& course, double speed) {
    const Vec2 here = Position(robot);
    robot.SetEngineOrientation(Bearing(here, course.Waypoint(battle, here)));
    robot.SetEngineSpeed(speed);
    SweepScanner(robot);
}

void OpponentPilot::SweepScanner(ArenaRobot& robot) {
    // The scanner turns relative to the body: swept against the body's own turn it could stand
    // still on the field. Swept with it, it goes round at the sum of both rates.
    const double turning = NormaliseRadians(robot.Order().orientation - robot.Body().heading);
    robot.SetScannerTarget(robot.ScannerOrientation() + std::copysign(kSweepLead, turning));
}

void OpponentPilot::LookToward(ArenaRobot& robot, double bearing) {
    robot.SetScannerTarget(bearing - robot.Body().heading);
}

bool OpponentPilot::FireWhenAimed(Battle& battle, const ArenaRobot& robot, double bearing,
                                  double tolerance) const {
    if (robot.GunCharge() < kFiringCharge ||
        std::fabs(NormaliseRadians(bearing - robot.GunHeading())) > tolerance) {
        return false;
    }
    return battle.FireGun(robotId) > 0;
}

void OpponentPilot::FireAtAnyInLine(Battle& battle, const ArenaRobot& robot,
                                    const std::vector<Sighting>& seen, double tolerance) const {
    const Vec2 here = Position(robot);
    for (const Sighting& other : seen) {
        if (FireWhenAimed(battle, robot, Bearing(here, other.position), tolerance)) {
            return;
        }
    }
}

const Sighting* OpponentPilot::Nearest(const std::vector<Sighting>& seen, Vec2 here) {
    const Sighting* nearest = nullptr;
    for (const Sighting& sighting : seen) {
        if (nearest == nullptr ||
            Distance(here, sighting.position) < Distance(here, nearest->position)) {
            nearest = &sighting;
        }
    }
    return nearest;
}

const Sighting* OpponentPilot::FindSighting(const std::vector<Sighting>& seen, int id) {
    for (const Sighting& sighting : seen) {
        if (sighting.id == id) {
            return &sighting;
        }
    }
    return nullptr;
}

RobotIdentity OpponentIdentity(OpponentKind kind, int number, int ordinal) {
    const KindEntry& entry = Entry(kind);
    RobotIdentity identity;
    identity.type = entry.type;
    identity.name = std::string(entry.type) + " " + std::to_string(number);
    const std::int32_t* colour = entry.colours[ordinal % kShades];
    identity.red = colour[0];
    identity.green = colour[1];
    identity.blue = colour[2];
    return identity;
}

RobotSettings OpponentSettings(OpponentKind kind) {
    switch (kind) {
    case OpponentKind::Hunter:
        return HunterPilot::Settings();
    case OpponentKind::Duelist:
        return DuelistSettings();
    case OpponentKind::Sniper:
        return SniperPilot::Settings();
    case OpponentKind::Sitter:
        return SitterPilot::Settings();
    case OpponentKind::Spinner:
        return SpinnerPilot::Settings();
    case OpponentKind::Wanderer:
        break;
    }
    return WandererPilot::Settings();
}

std::optional<std::string> RefusedSetting(const RobotSettings& settings) {
    // The order of the configuration requests, and of the values within each.
    const std::pair<const botpilot::SettingLimit*, double> checks[] = {
        {&botpilot::kMaxSpeedLimit, settings.engine.maxSpeed},
        {&botpilot::kMaxTurnRateLimit, settings.engine.maxTurnRate},
        {&botpilot::kScannerRangeLimit, settings.scanner.range},
        {&botpilot::kScannerFieldLimit, settings.scanner.fieldOfView},
        {&botpilot::kScannerTurnRateLimit, settings.scanner.turnRate},
        {&botpilot::kTurretTurnRateLimit, settings.turret.turnRate},
        {&botpilot::kTurretSweepLimit, settings.turret.sweepAngle},
        {&botpilot::kShellSpeedLimit, settings.gun.speedTenths},
        {&botpilot::kShellRangeLimit, settings.gun.range},
        {&botpilot::kShellDamageLimit, settings.gun.damage},
        {&botpilot::kRechargeLimit, settings.gun.rechargeSeconds},
        {&botpilot::kArmourLimit, settings.armour},
        {&botpilot::kRepairLimit, settings.repair},
    };
    for (const auto& [limit, value] : checks) {
        if (std::optional<std::string> refusal = botpilot::CheckSetting(*limit, value)) {
            return refusal;
        }
    }
    return std::nullopt;
}

std::vector<std::unique_ptr<OpponentPilot>> StartOpponents(Battle& battle,
                                                           const std::vector<OpponentKind>& kinds,
                                                           int count, std::uint32_t seed) {
    assert(count <= 0 || !kinds.empty());
    std::vector<std::unique_ptr<OpponentPilot>> pilots;
    int ordinals[sizeof kKinds / sizeof kKinds[0]] = {};
    for (int i = 0; i < count; ++i) {
        const OpponentKind kind = kinds[static_cast<std::size_t>(i) % kinds.size()];
        ArenaRobot& robot = battle.AddRobot(true);
        // Configured as a connection would be: declared values within the request limits,
        // while the robot is still configuring.
        robot.Identity() = OpponentIdentity(kind, i + 1, ordinals[static_cast<int>(kind)]++);
        robot.Settings() = OpponentSettings(kind);
        assert(!RefusedSetting(robot.Settings()));
        battle.StartRobot(robot.Id());
        pilots.push_back(
            MakePilot(kind, robot.Id(), seed + static_cast<std::uint32_t>(robot.Id())));
    }
    return pilots;
}

} // namespace botarena

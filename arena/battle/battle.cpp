#include "arena/battle/battle.h"

#include "arena/battle/arena_math.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace botarena {

namespace {

/// Spawn points keep this far from the walls. [Units: field units]
constexpr double kSpawnWallMargin = 1.0;
/// Spawn points keep this far from running robots when the field allows it. [Units: field units]
constexpr double kSpawnSpacing = 2.0;
/// Random spawn points tried before taking the last one regardless.
constexpr int kSpawnAttempts = 200;
/// The grid's cells: a few robot diameters, so that a move or a shell looks at a cell or four,
/// and a scanner's reach spans tens of cells rather than the field's thousands.
/// [Units: field units]
constexpr double kGridCellSize = 4.0;

} // namespace

Battle::Battle(FieldSize field, std::uint32_t seed)
    : field(field), random(seed), grid(field, kGridCellSize) {}

ArenaRobot& Battle::AddRobot(bool builtIn) {
    const int id = nextRobotId++;
    return robots.emplace(id, ArenaRobot(id, builtIn)).first->second;
}

ArenaRobot* Battle::Find(int id) {
    const auto found = robots.find(id);
    return found == robots.end() ? nullptr : &found->second;
}

const ArenaRobot* Battle::Find(int id) const {
    const auto found = robots.find(id);
    return found == robots.end() ? nullptr : &found->second;
}

void Battle::StartRobot(int id) {
    ArenaRobot* robot = Find(id);
    if (robot != nullptr && robot->Stage() == RobotStage::Configuring) {
        PlaceAtRandom(*robot);
    }
}

void Battle::StartRobotAt(int id, const BodyState& at) {
    ArenaRobot* robot = Find(id);
    if (robot != nullptr && robot->Stage() == RobotStage::Configuring) {
        Place(*robot, at);
    }
}

void Battle::PlaceAtRandom(ArenaRobot& robot) {
    std::uniform_real_distribution<double> alongX(field.MinX() + kSpawnWallMargin,
                                                  field.MaxX() - kSpawnWallMargin);
    std::uniform_real_distribution<double> alongY(field.MinY() + kSpawnWallMargin,
                                                  field.MaxY() - kSpawnWallMargin);
    std::uniform_real_distribution<double> turn(-kPi, kPi);
    Vec2 spot;
    for (int attempt = 0; attempt < kSpawnAttempts; ++attempt) {
        spot = {alongX(random), alongY(random)};
        bool free = true;
        grid.ForEachNear(spot, kSpawnSpacing, [&](const SpatialGrid::Entry& other) {
            if (Distance(spot, other.position) < kSpawnSpacing && other.robot->IsRunning()) {
                free = false;
            }
        });
        if (free) {
            break;
        }
    }
    Place(robot, BodyState{spot.x, spot.y, turn(random)});
}

void Battle::Place(ArenaRobot& robot, const BodyState& at) {
    const Vec2 inside = KeepInside(field, {at.x, at.y}, kRobotRadius);
    robot.Start(BodyState{inside.x, inside.y, at.heading});
    grid.Insert(robot);
    ++roundStarted;
}

void Battle::RemoveRobot(int id) {
    ArenaRobot* robot = Find(id);
    if (robot == nullptr || robot->IsGone()) {
        return;
    }
    if (robot->Stage() == RobotStage::Configuring) {
        robots.erase(id);
        return;
    }
    const bool wasRunning = robot->IsRunning();
    robot->Depart();
    if (wasRunning) {
        grid.Remove(*robot);
        Outlive(id);
    }
    goneOrder.push_back(id);
    // The oldest departures go first: the scoreboard keeps those a reader still remembers.
    while (goneOrder.size() > kMaxKeptGoneRobots) {
        ForgetRobot(goneOrder.front());
    }
}

void Battle::ForgetRobot(int id) {
    const auto found = robots.find(id);
    if (found == robots.end()) {
        return;
    }
    if (found->second.IsRunning()) {
        grid.Remove(found->second);
    }
    const RobotRecord totals = found->second.Totals();
    ++forgotten.count;
    forgotten.shots += totals.shots;
    forgotten.hits += totals.hits;
    forgotten.damageDealt += totals.damageDealt;
    forgotten.damageTaken += totals.damageTaken;
    forgotten.score += totals.Score();
    robots.erase(found);
    goneOrder.erase(std::remove(goneOrder.begin(), goneOrder.end(), id), goneOrder.end());
}

void Battle::Outlive(int leaverId) {
    for (auto& [id, robot] : robots) {
        if (id != leaverId && robot.IsRunning()) {
            ++robot.Record().outlived;
        }
    }
}

const RoundResult& Battle::EndRound(const std::string& reason) {
    if (IsDecided()) {
        for (auto& [id, robot] : robots) {
            if (robot.IsRunning()) {
                robot.Record().bonusPoints = kLastStandingPointsPerOpponent * (roundStarted - 1);
            }
        }
    }
    for (auto& [id, robot] : robots) {
        robot.Survive();
    }
    grid.Clear();
    shells.clear();
    RoundResult result;
    result.number = round;
    result.reason = reason;
    result.duration = RoundTime();
    std::vector<Contender> totals;
    for (const auto& [id, robot] : robots) {
        if (robot.Record().tookPart) {
            result.robots.push_back({id, robot.Identity().name, robot.Record()});
        }
        totals.push_back({id, robot.Identity().name, robot.Totals()});
    }
    result.standings = Rank(result.robots);
    rounds.push_back(std::move(result));
    overall = Rank(totals);
    over = true;
    return rounds.back();
}

void Battle::BeginRound() {
    ++round;
    roundStart = time;
    roundStarted = 0;
    over = false;
    for (auto& [id, robot] : robots) {
        robot.CloseRecord();
    }
    // In id order, each spot kept clear of those placed before it.
    for (auto& [id, robot] : robots) {
        const RobotStage stage = robot.Stage();
        if (!robot.IsGone() && (stage == RobotStage::Survived || stage == RobotStage::Destroyed)) {
            PlaceAtRandom(robot);
        }
    }
}

std::vector<const ArenaRobot*> Battle::SeenRobots(int id) const {
    std::vector<const ArenaRobot*> seen;
    const ArenaRobot* robot = Find(id);
    if (robot == nullptr || !robot->IsRunning()) {
        return seen;
    }
    const ScannerSettings& scanner = robot->Settings().scanner;
    const Vec2 apex{robot->Body().x, robot->Body().y};
    const double heading = robot->ScannerHeading();
    grid.ForEachInCone(
        apex, heading, scanner.range, scanner.fieldOfView, [&](const SpatialGrid::Entry& other) {
            if (other.id != id &&
                InsideCone(apex, heading, scanner.range, scanner.fieldOfView, other.position) &&
                other.robot->IsRunning()) {
                seen.push_back(other.robot);
            }
        });
    std::sort(seen.begin(), seen.end(),
              [](const ArenaRobot* a, const ArenaRobot* b) { return a->Id() < b->Id(); });
    return seen;
}

std::vector<const Shell*> Battle::SeenShells(int id) const {
    std::vector<const Shell*> seen;
    const ArenaRobot* robot = Find(id);
    if (robot == nullptr || !robot->IsRunning()) {
        return seen;
    }
    const ScannerSettings& scanner = robot->Settings().scanner;
    const Vec2 apex{robot->Body().x, robot->Body().y};
    for (const Shell& shell : shells) {
        if (InsideCone(apex, robot->ScannerHeading(), scanner.range, scanner.fieldOfView,
                       shell.position)) {
            seen.push_back(&shell);
        }
    }
    return seen;
}

std::int32_t Battle::FireGun(int id) {
    ArenaRobot* robot = Find(id);
    if (robot == nullptr || !robot->IsRunning() || shells.size() >= kMaxShells ||
        ShellsOf(id) >= kMaxShellsPerRobot || !robot->TryDischargeGun()) {
        return -1;
    }
    const GunSettings& gun = robot->Settings().gun;
    const double heading = robot->GunHeading();
    Shell shell;
    shell.id = nextShellId++;
    shell.ownerId = id;
    shell.position = {robot->Body().x, robot->Body().y};
    shell.velocity = {gun.ShellSpeed() * std::cos(heading), gun.ShellSpeed() * std::sin(heading)};
    shell.remainingRange = gun.range;
    shell.remainingTime = kShellLifetimeSeconds;
    shell.damage = gun.damage;
    shells.push_back(shell);
    ++robot->Record().shots;
    return shell.id;
}

std::size_t Battle::ShellsOf(int ownerId) const {
    return static_cast<std::size_t>(
        std::count_if(shells.begin(), shells.end(),
                      [ownerId](const Shell& shell) { return shell.ownerId == ownerId; }));
}

int Battle::RunningCount() const {
    int running = 0;
    for (const auto& [id, robot] : robots) {
        running += robot.IsRunning() ? 1 : 0;
    }
    return running;
}

int Battle::RunningClientCount() const {
    int running = 0;
    for (const auto& [id, robot] : robots) {
        running += robot.IsRunning() && !robot.IsBuiltIn() ? 1 : 0;
    }
    return running;
}

std::vector<BattleEvent> Battle::Step(double dt) {
    std::vector<BattleEvent> events;
    // Robots in id order: each sees the others where this step has already put them.
    for (auto& [id, robot] : robots) {
        if (robot.IsRunning()) {
            robot.UpdateHardware(dt);
            MoveRobot(robot, dt);
        }
    }
    for (std::size_t i = 0; i < shells.size();) {
        if (MoveShell(shells[i], dt, events)) {
            shells[i] = shells.back();
            shells.pop_back();
        } else {
            ++i;
        }
    }
    time += dt;
    return events;
}

const ArenaRobot* Battle::Blocker(const ArenaRobot& robot, Vec2 from, Vec2 to) const {
    // Any one such robot blocks the move, so the order they are looked at in does not matter
    // for whether it is blocked; the nearest is the one to slide along.
    const ArenaRobot* blocker = nullptr;
    double nearest = 2.0 * kRobotRadius;
    grid.ForEachNear(to, 2.0 * kRobotRadius, [&](const SpatialGrid::Entry& other) {
        if (other.id == robot.Id() || !other.robot->IsRunning()) {
            return;
        }
        const double after = Distance(to, other.position);
        if (after < nearest && after < Distance(from, other.position)) {
            nearest = after;
            blocker = other.robot;
        }
    });
    return blocker;
}

void Battle::MoveRobot(ArenaRobot& robot, double dt) {
    const BodyState now = robot.Body();
    const Vec2 from{now.x, now.y};
    BodyState next = StepBody(now, robot.Settings().engine, robot.Order(), dt);
    // Walls: the centre is held a radius inside them; motion along a wall goes on.
    const Vec2 held = KeepInside(field, {next.x, next.y}, kRobotRadius);
    next.x = held.x;
    next.y = held.y;
    // Other robots, as the walls: a move that would bring two robots closer while they overlap
    // keeps only its part along the other's rim, so robots stop on contact but slide round
    // each other rather than stick; a move still blocked after that is refused.
    Vec2 to = held;
    if (const ArenaRobot* other = Blocker(robot, from, to)) {
        const Vec2 there{other->Body().x, other->Body().y};
        to = KeepInside(field, SlideAlong(from, to, there), kRobotRadius);
        if (Blocker(robot, from, to) != nullptr) {
            to = from;
        }
    }
    next.x = to.x;
    next.y = to.y;
    robot.MoveTo(next, dt);
    grid.Move(robot, from);
}

BodyState Battle::BodyAfter(const ArenaRobot& robot, double dt) const {
    if (!(dt > 0.0) || !robot.IsRunning()) {
        return robot.Body();
    }
    BodyState after = StepBody(robot.Body(), robot.Settings().engine, robot.Order(), dt);
    const Vec2 held = KeepInside(field, {after.x, after.y}, kRobotRadius);
    after.x = held.x;
    after.y = held.y;
    return after;
}

Vec2 Shell::PositionAfter(double dt) const {
    const double speed = std::hypot(velocity.x, velocity.y);
    if (!(speed > 0.0) || !(dt > 0.0)) {
        return position;
    }
    const double scale = std::min(speed * dt, remainingRange) / speed;
    return {position.x + velocity.x * scale, position.y + velocity.y * scale};
}

bool Battle::MoveShell(Shell& shell, double dt, std::vector<BattleEvent>& events) {
    const double speed = std::hypot(shell.velocity.x, shell.velocity.y);
    const double travel = std::min(speed * dt, shell.remainingRange);
    const double scale = speed > 0.0 ? travel / speed : 0.0;
    const Vec2 to{shell.position.x + shell.velocity.x * scale,
                  shell.position.y + shell.velocity.y * scale};

    // The first robot along the way takes the hit; the shooter is never hit by its own shell.
    // Of robots touched at the same point, the lowest id takes it.
    ArenaRobot* target = nullptr;
    double nearest = 2.0;
    grid.ForEachNearSegment(shell.position, to, kRobotRadius, [&](const SpatialGrid::Entry& other) {
        ArenaRobot& robot = *other.robot;
        if (robot.Id() == shell.ownerId || !robot.IsRunning()) {
            return;
        }
        const std::optional<double> touch =
            SegmentTouchesCircle(shell.position, to, other.position, kRobotRadius);
        if (touch && (*touch < nearest ||
                      (*touch == nearest && target != nullptr && robot.Id() < target->Id()))) {
            nearest = *touch;
            target = &robot;
        }
    });
    if (target != nullptr) {
        const double lost = target->TakeDamage(shell.damage);
        if (ArenaRobot* shooter = Find(shell.ownerId)) {
            ++shooter->Record().hits;
            shooter->Record().damageDealt += lost;
        }
        events.push_back(
            {BattleEvent::Kind::Hit, shell.ownerId, target->Id(), lost, target->HitPoints()});
        if (target->Stage() == RobotStage::Destroyed) {
            grid.Remove(*target);
            Outlive(target->Id());
            events.push_back({BattleEvent::Kind::Destroyed, shell.ownerId, target->Id(), 0.0, 0.0});
        }
        return true;
    }
    shell.position = to;
    shell.remainingRange -= travel;
    shell.remainingTime -= dt;
    return shell.remainingRange <= 0.0 || shell.remainingTime <= 0.0 ||
           !field.Contains(shell.position);
}

} // namespace botarena

#include "tests/golden/golden_worlds.h"

#include <cmath>

namespace botpilot::testing {

namespace {

constexpr double kPi = 3.141592653589793;

/// 0 → 1 → 0 over `period` cycles, linearly.
double Triangle(int cycle, int period) {
    const double phase = std::fmod(static_cast<double>(cycle), period) / period;
    return phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase;
}

RobotSighting Seen(std::int32_t id, double x, double y, double orientation) {
    return RobotSighting{id, x, y, orientation, "Simple", "Nolix"};
}

// Nothing is seen: the robot patrols from wall to wall, so the rove goal switches at both ends,
// and its heading swings across the ±π line on the way back.
FakeWorld Patrol(int cycle) {
    FakeWorld world;
    const double across = Triangle(cycle, 200);
    world.x = -14.0 + 28.0 * across;
    world.y = 2.0 * std::sin(cycle * 0.07);
    const bool goingRight = std::fmod(cycle, 200.0) < 100.0;
    if (goingRight) {
        world.heading = 0.15 * std::sin(cycle * 0.1);
    } else {
        // Both sides of the ±π line, and an unnormalised heading now and then.
        world.heading = cycle % 3 == 0 ? kPi - 0.02 : (cycle % 3 == 1 ? -kPi + 0.01 : 3.0 * kPi);
    }
    world.scannerOrientation = 0.3 * std::sin(cycle * 0.1);
    world.gunCharge = 100.0;
    return world;
}

// Robots come and go around a robot that drifts across mid-field with an empty gun: one circles
// it (its orientation grows without bound), one waits behind it, one arrives late; the circling
// one vanishes long enough to be forgotten.
FakeWorld Robots(int cycle) {
    FakeWorld world;
    world.x = -4.0 + 0.02 * cycle;
    world.y = -2.0 + 0.01 * cycle;
    world.heading = 0.2 * std::sin(cycle * 0.05);
    world.scannerOrientation = -0.4 + 0.005 * cycle;
    world.gunCharge = cycle / 50 % 2 == 0 ? 30.0 : 49.9;
    const double turn = cycle * 0.04;
    if (cycle < 120 || cycle >= 280) {
        world.robots.push_back(
            Seen(3, 3.0 + 4.0 * std::cos(turn), 1.0 + 4.0 * std::sin(turn), turn + kPi / 2.0));
    }
    if (cycle >= 40) {
        world.robots.push_back(Seen(7, -9.0 + 0.01 * cycle, -5.0, -2.5));
    }
    if (cycle >= 200) {
        world.robots.push_back(Seen(12, 8.0 - 0.05 * (cycle - 200), 6.0, -2.0));
    }
    return world;
}

// Shells fly across the field: some are seen once only (the scanner turns for a second look),
// some run over the robot (it evades), and all leave the field in the end.
FakeWorld Shells(int cycle) {
    FakeWorld world;
    world.x = 2.0 - 0.01 * cycle;
    world.y = -1.0;
    world.heading = 1.0 + 0.3 * std::sin(cycle * 0.03);
    world.scannerOrientation = 0.2;
    world.gunCharge = 80.0;
    // A new shell every 40 cycles, from the left wall towards the robot, a quarter unit a cycle.
    for (int launch = 0; launch <= cycle; launch += 40) {
        const int age = cycle - launch;
        const double x = -14.0 + 0.25 * age;
        if (x > 15.0) {
            continue;
        }
        const auto id = static_cast<std::int32_t>(100 + launch / 40);
        // Every third shell is seen only at its launch.
        if (launch / 40 % 3 == 2 && age > 0) {
            continue;
        }
        world.objects.push_back(ObjectSighting{id, x, -1.0 + 0.01 * age});
    }
    // A shell seen once, standing still, off to one side.
    if (cycle % 90 == 45) {
        world.objects.push_back(ObjectSighting{500 + cycle, 6.0, 7.0});
    }
    return world;
}

// A robot close ahead of a charged gun: the robot shoots whenever the charge allows, and some
// shots are refused. A second robot waits behind.
FakeWorld Shooting(int cycle) {
    FakeWorld world;
    world.x = 0.0;
    world.y = 0.0;
    world.heading = 0.05 * std::sin(cycle * 0.02);
    world.scannerOrientation = 0.0;
    static const double kCharges[] = {100.0, 100.0, 40.0, 100.0, 60.0, 50.0, 49.9};
    world.gunCharge = kCharges[cycle % 7];
    world.fireResult = cycle % 3 == 0 ? -1 : 0;
    world.robots.push_back(
        Seen(5, 6.0 + 0.01 * (cycle % 50), 0.2 + 0.3 * std::sin(cycle * 0.05), kPi));
    world.robots.push_back(Seen(9, -7.0, 4.0, 0.5));
    return world;
}

// Drawing switched on throughout: the robot roves (drawn), evades a shell track (drawn), then
// heads for a robot (not drawn: only the rover modes draw).
FakeWorld DrawingMixed(int cycle) {
    FakeWorld world;
    world.x = -3.0 + 0.05 * cycle;
    world.y = 1.0;
    world.heading = 0.1 * cycle;
    world.scannerOrientation = 0.0;
    world.gunCharge = 100.0;
    if (cycle >= 50 && cycle < 90) {
        // A shell creeping along the robot's own line.
        world.objects.push_back(ObjectSighting{60, world.x - 1.0 + 0.02 * (cycle - 50), 1.0});
    }
    if (cycle >= 90) {
        world.robots.push_back(Seen(4, world.x + 7.0, 3.0, -kPi / 2.0));
    }
    return world;
}

} // namespace

std::vector<GoldenWorld> GoldenWorlds() {
    return {
        {"patrol", 300, false, Patrol, {"Rove", "LookForward"}},
        {"robots", 300, false, Robots, {"WatchRobots", "HeadForTarget"}},
        {"shells", 300, false, Shells, {"Evade", "SecondSighting"}},
        {"shooting", 300, false, Shooting, {"StraightShooter", "HeadForTarget"}},
        {"drawing_mixed", 130, true, DrawingMixed, {"Rove", "Evade", "HeadForTarget"}},
    };
}

} // namespace botpilot::testing

#include "arena/battle/arena_math.h"
#include "arena/battle/battle.h"
#include "arena/battle/spatial_grid.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <random>
#include <vector>

namespace botarena {
namespace {

/// The largest field, in the battle's cells of 4: cell edges lie at -100, -96, ... 100.
constexpr FieldSize kField{200.0, 200.0};
constexpr double kCell = 4.0;

/// Robots on every cell corner (the walls among them), three on one point, a ring exactly one
/// contact distance round a cell corner, and a seeded scatter over the field and a little beyond.
class Population {
  public:
    Population() {
        for (double x = kField.MinX(); x <= kField.MaxX(); x += kCell) {
            for (double y = kField.MinY(); y <= kField.MaxY(); y += kCell) {
                Add({x, y});
            }
        }
        for (int i = 0; i < 3; ++i) {
            Add({10.0, 10.0});
        }
        for (int i = 0; i < 16; ++i) {
            const double angle = 2.0 * kPi * i / 16;
            Add({8.0 + 2.0 * kRobotRadius * std::cos(angle),
                 8.0 + 2.0 * kRobotRadius * std::sin(angle)});
        }
        firstScattered = static_cast<int>(robots.size()) + 1;
        std::mt19937 random(5);
        std::uniform_real_distribution<double> along(-101.0, 101.0);
        for (int i = 0; i < 2000; ++i) {
            Add({along(random), along(random)});
        }
    }

    /// Moves the scattered robots by up to a cell and a half each way, many into other cells.
    void Shuffle(SpatialGrid& grid) {
        std::mt19937 random(9);
        std::uniform_real_distribution<double> by(-1.5 * kCell, 1.5 * kCell);
        for (auto& [id, robot] : robots) {
            const BodyState was = robot.Body();
            if (id >= firstScattered && id % 3 == 0) {
                robot.MoveTo({was.x + by(random), was.y + by(random), was.heading}, 0.01);
                grid.Move(robot, {was.x, was.y});
            }
        }
    }

    /// The ids the exact test takes in, looking at every robot.
    std::vector<int> Everyone(const std::function<bool(Vec2)>& test) const {
        std::vector<int> ids;
        for (const auto& [id, robot] : robots) {
            if (test({robot.Body().x, robot.Body().y})) {
                ids.push_back(id);
            }
        }
        return ids;
    }

    std::map<int, ArenaRobot> robots;

  private:
    int firstScattered = 0;

    void Add(Vec2 at) {
        const int id = static_cast<int>(robots.size()) + 1;
        robots.emplace(id, ArenaRobot(id, true)).first->second.Start({at.x, at.y, 0.0});
    }
};

/// What one query takes in: the box the grid is asked for and the exact test behind it.
struct Query {
    const char* what;
    std::function<void(const SpatialGrid&, const std::function<void(const SpatialGrid::Entry&)>&)>
        ask;
    std::function<bool(Vec2)> test;
};

Query Near(const char* what, Vec2 centre, double reach) {
    return {
        what,
        [=](const SpatialGrid& grid, const auto& visit) { grid.ForEachNear(centre, reach, visit); },
        [=](Vec2 p) { return Distance(centre, p) <= reach; }};
}

Query Segment(const char* what, Vec2 from, Vec2 to) {
    return {what,
            [=](const SpatialGrid& grid, const auto& visit) {
                grid.ForEachNearSegment(from, to, kRobotRadius, visit);
            },
            [=](Vec2 p) { return SegmentTouchesCircle(from, to, p, kRobotRadius).has_value(); }};
}

Query Cone(const char* what, Vec2 apex, double heading, double range, double fieldOfView) {
    return {what,
            [=](const SpatialGrid& grid, const auto& visit) {
                grid.ForEachInCone(apex, heading, range, fieldOfView, visit);
            },
            [=](Vec2 p) { return InsideCone(apex, heading, range, fieldOfView, p); }};
}

// The grid must never leave out what looking at every robot finds: each query's exact test over
// the robots the grid visits takes in the same robots as over all of them, before and after
// robots move between cells.
TEST(SpatialGridTest, FindsExactlyWhatLookingAtEveryRobotFinds) {
    const double contact = 2.0 * kRobotRadius;
    const Query queries[] = {
        Near("contact across a cell edge", {-0.5, 3.5}, contact),
        Near("contact round a cell corner, the ring exactly at contact", {8.0, 8.0}, contact),
        Near("contact on a wall", {100.0, 0.0}, contact),
        Near("contact in a corner of the field", {-100.0, -100.0}, contact),
        Near("spawn spacing from a cell corner", {0.0, 0.0}, 2.0),
        Near("robots on one point", {10.0, 10.0}, 0.0),
        Near("beyond the wall", {101.0, 50.0}, 3.0),
        Segment("a shell along a cell edge", {0.0, -10.0}, {0.0, 10.0}),
        Segment("a shell crossing a dozen cells in one step", {-30.0, -20.0}, {20.0, 15.0}),
        Segment("a shell along a wall", {-100.0, 100.0}, {100.0, 100.0}),
        Segment("a shell leaving the field", {95.0, 0.0}, {120.0, 3.0}),
        Segment("a shell standing still on robots", {10.0, 10.0}, {10.0, 10.0}),
        Cone("a scanner of full reach, all round", {0.0, 0.0}, 0.0, 100.0, 360.0),
        Cone("a wide scanner across the half-turn line", {50.0, 3.0}, kPi, 60.0, 200.0),
        Cone("a narrow scanner along a cell edge", {-4.0, -80.0}, kPi / 2, 100.0, 1.0),
        Cone("a scanner whose edges lie on the axes", {20.0, 20.0}, kPi / 4, 30.0, 90.0),
        Cone("a scanner from a corner of the field", {-100.0, -100.0}, kPi / 4, 100.0, 60.0),
        Cone("a short scanner on robots on one point", {10.0, 10.0}, -kPi / 2, 0.5, 40.0),
        Cone("a scanner looking out of the field", {99.0, 0.0}, 0.0, 20.0, 120.0),
    };

    Population population;
    SpatialGrid grid(kField, kCell);
    for (auto& [id, robot] : population.robots) {
        grid.Insert(robot);
    }
    for (const char* phase : {"as placed", "after moving"}) {
        for (const Query& query : queries) {
            std::vector<int> found;
            query.ask(grid, [&](const SpatialGrid::Entry& entry) {
                EXPECT_EQ(entry.position.x, entry.robot->Body().x);
                EXPECT_EQ(entry.position.y, entry.robot->Body().y);
                if (query.test(entry.position)) {
                    found.push_back(entry.robot->Id());
                }
            });
            std::sort(found.begin(), found.end());
            const std::vector<int> everyone = population.Everyone(query.test);
            EXPECT_FALSE(everyone.empty()) << query.what << ": the case finds nothing";
            EXPECT_EQ(found, everyone) << query.what << ", " << phase;
        }
        population.Shuffle(grid);
    }
    EXPECT_EQ(grid.Size(), population.robots.size());
    for (const auto& [id, robot] : population.robots) {
        EXPECT_TRUE(grid.Remove(robot));
    }
    EXPECT_EQ(grid.Size(), 0u);
}

// Scanners through the battle's grid report what looking at every robot in id order reports,
// for scanners of every reach, after the robots have driven about (and into each other).
TEST(SpatialGridTest, BattleScannersSeeWhatLookingAtEveryRobotSees) {
    struct Scanner {
        double range;
        double fieldOfView;
    };
    const Scanner scanners[] = {{100.0, 360.0}, {0.5, 1.0}, {20.0, 40.0}, {60.0, 181.0}};
    Battle battle(FieldSize{60.0, 40.0}, 3);
    std::mt19937 random(4);
    std::uniform_real_distribution<double> turn(-kPi, kPi);
    for (int i = 0; i < 300; ++i) {
        ArenaRobot& robot = battle.AddRobot(true);
        const Scanner& scanner = scanners[static_cast<std::size_t>(i) % std::size(scanners)];
        robot.Settings().scanner.range = scanner.range;
        robot.Settings().scanner.fieldOfView = scanner.fieldOfView;
        battle.StartRobot(robot.Id());
        robot.SetEngineSpeed(100.0);
        robot.SetEngineOrientation(turn(random));
        robot.SetScannerTarget(turn(random));
    }
    for (int step = 0; step < 200; ++step) {
        battle.Step(0.01);
    }
    for (const auto& [id, robot] : battle.Robots()) {
        const ScannerSettings& scanner = robot.Settings().scanner;
        std::vector<int> expected;
        for (const auto& [otherId, other] : battle.Robots()) {
            if (otherId != id &&
                InsideCone({robot.Body().x, robot.Body().y}, robot.ScannerHeading(), scanner.range,
                           scanner.fieldOfView, {other.Body().x, other.Body().y})) {
                expected.push_back(otherId);
            }
        }
        std::vector<int> seen;
        for (const ArenaRobot* other : battle.SeenRobots(id)) {
            seen.push_back(other->Id());
        }
        EXPECT_EQ(seen, expected) << "robot " << id;
    }
}

// The grid visits robots in no particular order: a shell must still hit the first robot along
// its way, and of two touched at the same point the lower id, whichever the grid met first.
TEST(SpatialGridTest, ShellHitsTheFirstRobotAlongItsWayWhateverTheGridsOrder) {
    struct Row {
        const char* what;
        Vec2 lower;  ///< where the robot of the lower id stands; it is placed second
        Vec2 higher; ///< where the robot of the higher id stands; it is placed first
        bool lowerHit;
    };
    const Row rows[] = {
        {"two robots on one point", {-40.0, 0.0}, {-40.0, 0.0}, true},
        {"the nearer one cells before the other", {-40.0, 0.0}, {-60.0, 0.0}, false},
        {"the nearer one in the next cell", {-40.0, 0.0}, {-44.5, 0.0}, false},
        {"both off centre, the nearer on a cell edge", {-48.0, 0.3}, {-44.0, -0.3}, true},
    };
    for (const Row& row : rows) {
        Battle battle(FieldSize{200.0, 200.0}, 1);
        ArenaRobot& shooter = battle.AddRobot(true);
        shooter.Settings().gun.speedTenths = 5.0; // 50 units per second
        shooter.Settings().gun.range = 100.0;
        battle.StartRobotAt(shooter.Id(), {-90.0, 0.0, 0.0});
        const int lower = battle.AddRobot(true).Id();
        const int higher = battle.AddRobot(true).Id();
        battle.StartRobotAt(higher, {row.higher.x, row.higher.y, 0.0});
        battle.StartRobotAt(lower, {row.lower.x, row.lower.y, 0.0});
        ASSERT_GT(battle.FireGun(shooter.Id()), 0);
        // One step of a second: the shell crosses a dozen cells at once.
        const std::vector<BattleEvent> events = battle.Step(1.0);
        ASSERT_FALSE(events.empty()) << row.what;
        EXPECT_EQ(events[0].targetId, row.lowerHit ? lower : higher) << row.what;
    }
}

TEST(SpatialGridTest, AnAbsurdFieldTakesCoarserCellsAndStrayPointsTheBorderCells) {
    SpatialGrid grid(FieldSize{1e12, 1e12}, 1.0);
    ArenaRobot robot(1, true);
    robot.Start({4e11, -4e11, 0.0});
    grid.Insert(robot);
    int visited = 0;
    grid.ForEachNear({4e11, -4e11}, 1.0, [&](const SpatialGrid::Entry&) { ++visited; });
    grid.ForEachNear({1e300, -1e300}, 1.0, [&](const SpatialGrid::Entry&) { ++visited; });
    grid.ForEachNear({std::nan(""), 0.0}, 1.0, [&](const SpatialGrid::Entry&) { ++visited; });
    EXPECT_EQ(visited, 1);
}

} // namespace
} // namespace botarena
